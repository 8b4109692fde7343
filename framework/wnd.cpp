// CWnd: handle maps, message dispatch through the message maps, and thin
// forwards to the window functions of the system.
#include "framework/wnd.h"

#include <map>

#include "framework/ddx.h"
#include "framework/menu.h"

IMPLEMENT_DYNAMIC(CWnd, CObject)

namespace {

std::map<HWND, CWnd*>& permanentMap()
{
    static std::map<HWND, CWnd*> map;
    return map;
}

std::map<HWND, CWnd*>& temporaryMap()
{
    static std::map<HWND, CWnd*> map;
    return map;
}

// The message being handled by KesvoraWndProc, for Default(). Saved and
// restored around every call, so nested messages see their own.
struct CurrentMessage {
    HWND hWnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
thread_local CurrentMessage* g_pCurrent = nullptr;

const MessageMapEntry rootEntries[] = {{0, 0, 0, 0, nullptr, nullptr}};
const MessageMap rootMap = {nullptr, rootEntries};

bool Matches(const MessageMapEntry& entry, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (entry.pnRegistered != nullptr)
        return message != 0 && *entry.pnRegistered == message;
    if (entry.nMessage != message)
        return false;
    if (message != WM_COMMAND)
        return true;
    // Menus (code 0) and accelerators (code 1) come without a control and
    // are both plain commands; a control's notification keeps its code.
    UINT nCode = lParam == 0 ? 0 : HIWORD(wParam);
    UINT nID = LOWORD(wParam);
    return entry.nCode == nCode && entry.nID <= nID && nID <= entry.nLastID;
}

} // namespace

CWnd::~CWnd()
{
    Detach();
}

BOOL CWnd::Attach(HWND hWnd)
{
    if (m_hWnd != nullptr || hWnd == nullptr)
        return FALSE;
    auto& permanent = permanentMap();
    if (permanent.find(hWnd) != permanent.end())
        return FALSE;
    m_hWnd = hWnd;
    permanent[hWnd] = this;
    return TRUE;
}

HWND CWnd::Detach()
{
    HWND hWnd = m_hWnd;
    if (hWnd == nullptr)
        return nullptr;
    if (m_pfnSuper != nullptr) {
        // Hand the window back to its own procedure, unless someone else
        // subclassed it after us (then ours stays in their chain).
        if (reinterpret_cast<WNDPROC>(GetWindowLongPtrA(hWnd, GWLP_WNDPROC)) == KesvoraWndProc)
            SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
        m_pfnSuper = nullptr;
    }
    auto& permanent = permanentMap();
    auto it = permanent.find(hWnd);
    if (it != permanent.end() && it->second == this)
        permanent.erase(it);
    m_hWnd = nullptr;
    return hWnd;
}

BOOL CWnd::SubclassWindow(HWND hWnd)
{
    if (!IsWindow(hWnd) || !Attach(hWnd))
        return FALSE;
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(KesvoraWndProc)));
    if (m_pfnSuper == nullptr) {
        Detach();
        return FALSE;
    }
    return TRUE;
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd)
{
    if (hWnd == nullptr)
        return nullptr;
    auto& permanent = permanentMap();
    auto it = permanent.find(hWnd);
    return it != permanent.end() ? it->second : nullptr;
}

CWnd* CWnd::FromHandle(HWND hWnd)
{
    if (hWnd == nullptr)
        return nullptr;
    if (CWnd* pWnd = FromHandlePermanent(hWnd))
        return pWnd;
    auto& temporary = temporaryMap();
    auto it = temporary.find(hWnd);
    if (it != temporary.end())
        return it->second;
    // Not entered in the permanent map: the wrapper never owns the handle.
    CWnd* pTemp = new CWnd;
    pTemp->m_hWnd = hWnd;
    temporary[hWnd] = pTemp;
    return pTemp;
}

void CWnd::DeleteTempMap()
{
    auto& temporary = temporaryMap();
    for (auto& entry : temporary) {
        entry.second->m_hWnd = nullptr;
        delete entry.second;
    }
    temporary.clear();
}

CWnd* CWnd::GetDlgItem(int nID) const
{
    return FromHandle(::GetDlgItem(m_hWnd, nID));
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::PostMessageA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::ShowWindow(int nCmdShow)
{
    return ::ShowWindow(m_hWnd, nCmdShow);
}

BOOL CWnd::IsIconic() const
{
    return ::IsIconic(m_hWnd);
}

BOOL CWnd::EnableWindow(BOOL bEnable)
{
    return ::EnableWindow(m_hWnd, bEnable);
}

UINT_PTR CWnd::SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer)
{
    return ::SetTimer(m_hWnd, nIDEvent, nElapse, lpfnTimer);
}

BOOL CWnd::KillTimer(UINT_PTR nIDEvent)
{
    return ::KillTimer(m_hWnd, nIDEvent);
}

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon)
{
    return reinterpret_cast<HICON>(
        SendMessage(WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(hIcon)));
}

CMenu* CWnd::GetSystemMenu(BOOL bRevert)
{
    return CMenu::FromHandle(::GetSystemMenu(m_hWnd, bRevert));
}

BOOL CWnd::SetForegroundWindow()
{
    return ::SetForegroundWindow(m_hWnd);
}

void CWnd::GetClientRect(LPRECT lpRect) const
{
    if (!::GetClientRect(m_hWnd, lpRect))
        SetRectEmpty(lpRect);
}

BOOL CWnd::DestroyWindow()
{
    if (m_hWnd == nullptr)
        return FALSE;
    HWND hWnd = m_hWnd;
    BOOL bDestroyed = ::DestroyWindow(hWnd);
    // A subclassed window unbinds itself at WM_NCDESTROY; an attached one
    // is unbound here.
    if (bDestroyed && m_hWnd == hWnd)
        Detach();
    return bDestroyed;
}

BOOL CWnd::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return !dx.m_bFail;
}

void CWnd::DoDataExchange(CDataExchange*)
{
}

BOOL CWnd::PreTranslateMessage(MSG*)
{
    return FALSE;
}

LRESULT CWnd::Default()
{
    if (g_pCurrent == nullptr)
        return 0;
    return DefWindowProc(g_pCurrent->message, g_pCurrent->wParam, g_pCurrent->lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper != nullptr)
        return ::CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (OnWndMsg(message, wParam, lParam, &result))
        return result;
    return DefWindowProc(message, wParam, lParam);
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    for (const MessageMap* pMap = GetMessageMap(); pMap != nullptr;
         pMap = pMap->pfnGetBaseMap ? pMap->pfnGetBaseMap() : nullptr) {
        for (const MessageMapEntry* pEntry = pMap->lpEntries; pEntry->pfnHandler != nullptr; ++pEntry) {
            if (Matches(*pEntry, message, wParam, lParam)) {
                *pResult = pEntry->pfnHandler(this, wParam, lParam);
                return TRUE;
            }
        }
    }
    // Owner-drawn menu items reach their menu object even when the class
    // has no WM_DRAWITEM row.
    if (message == WM_DRAWITEM) {
        auto* lpDIS = reinterpret_cast<LPDRAWITEMSTRUCT>(lParam);
        if (lpDIS != nullptr && lpDIS->CtlType == ODT_MENU) {
            OnDrawItem(static_cast<int>(wParam), lpDIS);
            *pResult = TRUE;
            return TRUE;
        }
    }
    return FALSE;
}

const MessageMap* CWnd::GetThisMessageMap()
{
    return &rootMap;
}

const MessageMap* CWnd::GetMessageMap() const
{
    return GetThisMessageMap();
}

void CWnd::OnPaint()
{
    Default();
}

void CWnd::OnSysCommand(UINT, LPARAM)
{
    Default();
}

void CWnd::OnTimer(UINT_PTR)
{
    Default();
}

void CWnd::OnDestroy()
{
    Default();
}

HCURSOR CWnd::OnQueryDragIcon()
{
    return reinterpret_cast<HCURSOR>(Default());
}

void CWnd::OnMeasureItem(int, LPMEASUREITEMSTRUCT)
{
    Default();
}

void CWnd::OnDrawItem(int, LPDRAWITEMSTRUCT lpDrawItemStruct)
{
    if (lpDrawItemStruct != nullptr && lpDrawItemStruct->CtlType == ODT_MENU) {
        HMENU hMenu = reinterpret_cast<HMENU>(lpDrawItemStruct->hwndItem);
        if (CMenu* pMenu = CMenu::FromHandlePermanent(hMenu)) {
            pMenu->DrawItem(lpDrawItemStruct);
            return;
        }
    }
    Default();
}

void CWnd::OnEndSession(BOOL)
{
    Default();
}

LRESULT CALLBACK KesvoraWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
    if (pWnd == nullptr)
        return ::DefWindowProcA(hWnd, message, wParam, lParam);

    CurrentMessage current = {hWnd, message, wParam, lParam};
    CurrentMessage* pSaved = g_pCurrent;
    g_pCurrent = &current;
    LRESULT result = pWnd->WindowProc(message, wParam, lParam);
    g_pCurrent = pSaved;

    // The window is gone: unbind it, so that the object can be used again
    // and a new window that gets the same handle is not mistaken for it.
    if (message == WM_NCDESTROY && CWnd::FromHandlePermanent(hWnd) == pWnd) {
        pWnd->m_pfnSuper = nullptr;
        pWnd->Detach();
    }
    return result;
}
