// CWnd: a window handle with the program's behaviour attached. Objects that
// the program owns are bound to their handle in the permanent map (Attach,
// SubclassWindow); FromHandle gives short-lived wrappers for other handles,
// deleted at idle time. Messages of a subclassed window reach WindowProc,
// which dispatches through the class's message map.
#pragma once

#include <windows.h>

#include "framework/cstring.h"
#include "framework/msgmap.h"
#include "framework/object.h"

class CDataExchange;
class CMenu;

class CWnd : public CObject {
    DECLARE_DYNAMIC(CWnd)
public:
    CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    // Unbinds the handle (restoring its window procedure); does not destroy it.
    ~CWnd() override;

    HWND m_hWnd = nullptr;
    operator HWND() const { return m_hWnd; }

    // Binds hWnd to this object in the permanent map; false when this object
    // already has a handle or hWnd is null or already bound.
    BOOL Attach(HWND hWnd);
    HWND Detach();
    // Attach, and route the window's messages through WindowProc; the binding
    // ends by itself when the window is destroyed.
    BOOL SubclassWindow(HWND hWnd);

    // The permanent object bound to hWnd, or null.
    static CWnd* FromHandlePermanent(HWND hWnd);
    // The permanent object, else a temporary wrapper deleted at idle time
    // (DeleteTempMap); null for a null handle.
    static CWnd* FromHandle(HWND hWnd);
    static void DeleteTempMap();

    CWnd* GetDlgItem(int nID) const;
    void SetDlgItemText(int nID, LPCSTR lpszString) const { ::SetDlgItemTextA(m_hWnd, nID, lpszString); }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    BOOL ShowWindow(int nCmdShow);
    BOOL IsIconic() const;
    BOOL EnableWindow(BOOL bEnable = TRUE);
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer);
    BOOL KillTimer(UINT_PTR nIDEvent);
    HICON SetIcon(HICON hIcon, BOOL bBigIcon);
    CMenu* GetSystemMenu(BOOL bRevert);
    BOOL SetForegroundWindow();
    void GetClientRect(LPRECT lpRect) const;
    BOOL DestroyWindow();

    // Runs DoDataExchange in the given direction; false when it failed.
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
    virtual void DoDataExchange(CDataExchange* pDX);
    // Offered every queued message for this window or its children before it
    // is dispatched; true when the message was handled.
    virtual BOOL PreTranslateMessage(MSG* pMsg);

    // Default processing of the message being handled, with its original
    // parameters; 0 outside a message.
    LRESULT Default();
    // Dispatches through the message maps; unmatched messages get DefWindowProc.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The window procedure that was replaced by SubclassWindow, else DefWindowProcA.
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    // Default handlers, callable as base calls from derived handlers.
    void OnPaint();
    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnTimer(UINT_PTR nIDEvent);
    void OnDestroy();
    HCURSOR OnQueryDragIcon();
    void OnMeasureItem(int nIDCtl, LPMEASUREITEMSTRUCT lpMeasureItemStruct);
    // Owner-drawn menu items go to the CMenu object bound to their menu.
    void OnDrawItem(int nIDCtl, LPDRAWITEMSTRUCT lpDrawItemStruct);
    void OnEndSession(BOOL bEnding);

protected:
    // Looks through the message maps; true with *pResult set when a row matched.
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

    static const MessageMap* GetThisMessageMap();
    virtual const MessageMap* GetMessageMap() const;

private:
    friend LRESULT CALLBACK KesvoraWndProc(HWND, UINT, WPARAM, LPARAM);
    WNDPROC m_pfnSuper = nullptr;
};

LRESULT CALLBACK KesvoraWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
