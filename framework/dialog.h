// CDialog: a dialog from a template resource, run modally by DoModal with a
// message loop of its own. EndDialog only ends that loop; the window is
// destroyed when the loop has returned, so nested modal dialogs unwind in
// order and OnDestroy runs before DoModal returns.
#pragma once

#include "framework/wnd.h"

class CDialog : public CWnd {
    DECLARE_DYNAMIC(CDialog)
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParent = nullptr);

    // The value given to EndDialog; -1 when the dialog could not be created
    // or the loop ended on WM_QUIT.
    virtual INT_PTR DoModal();
    void EndDialog(int nResult);

    BOOL PreTranslateMessage(MSG* pMsg) override;

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

protected:
    // Base: pushes the members into the controls; TRUE lets the system set
    // the focus.
    virtual BOOL OnInitDialog();
    // Base: reads and validates the controls; ends with IDOK only if that worked.
    virtual void OnOK();
    virtual void OnCancel();

    DECLARE_MESSAGE_MAP()

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    void RunModalLoop();

    bool m_bModalEnded = false;
    int m_nModalResult = -1;
};
