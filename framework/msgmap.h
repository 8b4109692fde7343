// Message maps: a class's table of (message, code, id range) → handler rows.
// A window looks through its own class's table, then its base class's, and
// takes the first row that matches. Every handler goes through a small
// function generated from the member pointer, which unpacks the message
// parameters into the handler's typed arguments; the handler's signature is
// checked at compile time.
#pragma once

#include <windows.h>

#include <type_traits>

class CWnd;

struct MessageMapEntry {
    UINT nMessage;            // the message; 0 for a registered message
    UINT nCode;               // WM_COMMAND: notification code (0 = command or click)
    UINT nID;                 // WM_COMMAND: first control or command id
    UINT nLastID;             // WM_COMMAND: last id of the range
    const UINT* pnRegistered; // registered message: read when dispatching
    LRESULT (*pfnHandler)(CWnd* pWnd, WPARAM wParam, LPARAM lParam); // null ends the table
};

struct MessageMap {
    const MessageMap* (*pfnGetBaseMap)(); // null for the root class
    const MessageMapEntry* lpEntries;
};

namespace msgmap {

template <class M>
struct MemberFn;
template <class C, class F>
struct MemberFn<F C::*> {
    using Class = C;
    using Type = F;
};

// The handler pfn, given as a member pointer of T or of a base of T, must
// have the signature Sig.
template <class T, auto pfn, class Sig>
constexpr bool Fits()
{
    using Traits = MemberFn<decltype(pfn)>;
    static_assert(std::is_same<typename Traits::Type, Sig>::value, "message handler has the wrong signature");
    static_assert(std::is_base_of<typename Traits::Class, T>::value, "message handler is not a member of this class");
    return true;
}

template <class T, auto pfn>
LRESULT Command(CWnd* pWnd, WPARAM, LPARAM)
{
    static_assert(Fits<T, pfn, void()>());
    (static_cast<T*>(pWnd)->*pfn)();
    return 0;
}

template <class T, auto pfn>
LRESULT CommandRange(CWnd* pWnd, WPARAM wParam, LPARAM)
{
    static_assert(Fits<T, pfn, void(UINT)>());
    (static_cast<T*>(pWnd)->*pfn)(LOWORD(wParam));
    return 0;
}

template <class T, auto pfn>
LRESULT Message(CWnd* pWnd, WPARAM wParam, LPARAM lParam)
{
    static_assert(Fits<T, pfn, LRESULT(WPARAM, LPARAM)>());
    return (static_cast<T*>(pWnd)->*pfn)(wParam, lParam);
}

template <class T, auto pfn>
LRESULT SysCommand(CWnd* pWnd, WPARAM wParam, LPARAM lParam)
{
    static_assert(Fits<T, pfn, void(UINT, LPARAM)>());
    (static_cast<T*>(pWnd)->*pfn)(static_cast<UINT>(wParam), lParam);
    return 0;
}

template <class T, auto pfn>
LRESULT QueryDragIcon(CWnd* pWnd, WPARAM, LPARAM)
{
    static_assert(Fits<T, pfn, HCURSOR()>());
    return reinterpret_cast<LRESULT>((static_cast<T*>(pWnd)->*pfn)());
}

template <class T, auto pfn>
LRESULT Timer(CWnd* pWnd, WPARAM wParam, LPARAM)
{
    static_assert(Fits<T, pfn, void(UINT_PTR)>());
    (static_cast<T*>(pWnd)->*pfn)(static_cast<UINT_PTR>(wParam));
    return 0;
}

template <class T, auto pfn>
LRESULT MeasureItem(CWnd* pWnd, WPARAM wParam, LPARAM lParam)
{
    static_assert(Fits<T, pfn, void(int, LPMEASUREITEMSTRUCT)>());
    (static_cast<T*>(pWnd)->*pfn)(static_cast<int>(wParam), reinterpret_cast<LPMEASUREITEMSTRUCT>(lParam));
    return TRUE;
}

template <class T, auto pfn>
LRESULT EndSession(CWnd* pWnd, WPARAM wParam, LPARAM)
{
    static_assert(Fits<T, pfn, void(BOOL)>());
    (static_cast<T*>(pWnd)->*pfn)(static_cast<BOOL>(wParam));
    return 0;
}

} // namespace msgmap

#define DECLARE_MESSAGE_MAP()                        \
protected:                                           \
    static const MessageMap* GetThisMessageMap();    \
    const MessageMap* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                          \
    const MessageMap* theClass::GetMessageMap() const { return GetThisMessageMap(); }   \
    const MessageMap* theClass::GetThisMessageMap()                                     \
    {                                                                                   \
        typedef theClass ThisClass;                                                     \
        typedef baseClass TheBaseClass;                                                 \
        static const MessageMapEntry entries[] = {

#define END_MESSAGE_MAP()                                                    \
            {0, 0, 0, 0, nullptr, nullptr}                                   \
        };                                                                   \
        static const MessageMap map = {&TheBaseClass::GetThisMessageMap, entries}; \
        return &map;                                                         \
    }

#define KESVORA_ON_CODE(code, id, memberFxn) \
    {WM_COMMAND, static_cast<UINT>(code), static_cast<UINT>(id), static_cast<UINT>(id), nullptr, &msgmap::Command<ThisClass, memberFxn>},

#define ON_COMMAND(id, memberFxn) KESVORA_ON_CODE(0, id, memberFxn)
#define ON_COMMAND_RANGE(idFirst, idLast, memberFxn)                                           \
    {WM_COMMAND, 0, static_cast<UINT>(idFirst), static_cast<UINT>(idLast), nullptr,            \
     &msgmap::CommandRange<ThisClass, memberFxn>},
#define ON_BN_CLICKED(id, memberFxn) KESVORA_ON_CODE(BN_CLICKED, id, memberFxn)
#define ON_CBN_SELCHANGE(id, memberFxn) KESVORA_ON_CODE(CBN_SELCHANGE, id, memberFxn)

#define ON_MESSAGE(message, memberFxn) \
    {static_cast<UINT>(message), 0, 0, 0, nullptr, &msgmap::Message<ThisClass, memberFxn>},
#define ON_REGISTERED_MESSAGE(nMessageVariable, memberFxn) \
    {0, 0, 0, 0, &(nMessageVariable), &msgmap::Message<ThisClass, memberFxn>},

#define ON_WM_SYSCOMMAND() {WM_SYSCOMMAND, 0, 0, 0, nullptr, &msgmap::SysCommand<ThisClass, &ThisClass::OnSysCommand>},
#define ON_WM_PAINT() {WM_PAINT, 0, 0, 0, nullptr, &msgmap::Command<ThisClass, &ThisClass::OnPaint>},
#define ON_WM_QUERYDRAGICON() \
    {WM_QUERYDRAGICON, 0, 0, 0, nullptr, &msgmap::QueryDragIcon<ThisClass, &ThisClass::OnQueryDragIcon>},
#define ON_WM_DESTROY() {WM_DESTROY, 0, 0, 0, nullptr, &msgmap::Command<ThisClass, &ThisClass::OnDestroy>},
#define ON_WM_TIMER() {WM_TIMER, 0, 0, 0, nullptr, &msgmap::Timer<ThisClass, &ThisClass::OnTimer>},
#define ON_WM_MEASUREITEM() \
    {WM_MEASUREITEM, 0, 0, 0, nullptr, &msgmap::MeasureItem<ThisClass, &ThisClass::OnMeasureItem>},
#define ON_WM_ENDSESSION() \
    {WM_ENDSESSION, 0, 0, 0, nullptr, &msgmap::EndSession<ThisClass, &ThisClass::OnEndSession>},
