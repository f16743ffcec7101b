// The video option dialog's window in Win32: the controls of template 189
// render a COptionDialog and pass the player's clicks and list choices back
// to it.
#include "ui/win32/win32_option_dialog.h"

#include <windows.h>

#include "launcher/options/option_dialog.h"
#include "util/custom_assert.h"

namespace {

constexpr int kRadioIds[] = {IDC_RADIO_FULLSCREEN, IDC_RADIO_WINDOWED_FULLSCREEN, IDC_RADIO_WINDOW};

class Win32OptionView : public OptionDialogView {
public:
    // The logic that the controls' events go to.
    void Bind(COptionDialog& logic) { m_logic = &logic; }
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    void EnableControl(int id, bool enable) override { EnableWindow(GetDlgItem(m_window, id), enable); }
    void SetRadioChecked(int id, bool checked) override {
        CheckDlgButton(m_window, id, checked ? BST_CHECKED : BST_UNCHECKED);
    }
    int GetCheckedRadioIndex() const override {
        for (int i = 0; i < 3; ++i) {
            if (IsDlgButtonChecked(m_window, kRadioIds[i]) == BST_CHECKED) return i;
        }
        return -1;
    }
    void InsertListItem(int index, const std::wstring& text) override {
        // LB_INSERTSTRING keeps the index although the list has the sort
        // style; LB_ADDSTRING would sort the rows away from the logic's.
        SendDlgItemMessageW(m_window, IDC_LIST_RESOLUTION, LB_INSERTSTRING, index,
                            reinterpret_cast<LPARAM>(text.c_str()));
    }
    void SetListSelection(int index) override {
        SendDlgItemMessageW(m_window, IDC_LIST_RESOLUTION, LB_SETCURSEL, index, 0);
    }
    int GetListSelection() const override {
        const LRESULT selection = SendDlgItemMessageW(m_window, IDC_LIST_RESOLUTION, LB_GETCURSEL, 0, 0);
        return selection == LB_ERR ? -1 : static_cast<int>(selection);
    }
    void InvalidateControl(int id, bool erase) override {
        InvalidateRect(GetDlgItem(m_window, id), nullptr, erase);
    }
    void Close() override { SendMessageW(m_window, WM_CLOSE, 0, 0); }

private:
    void OnInitDialog(HWND window);
    void OnCommand(int id, int code);

    COptionDialog* m_logic = nullptr;
    HWND m_window = nullptr;
};

void CentreOverOwner(HWND window) {
    HWND owner = GetWindow(window, GW_OWNER);
    RECT outer, own;
    if (!owner || !GetWindowRect(owner, &outer) || !GetWindowRect(window, &own)) return;
    const int width = own.right - own.left, height = own.bottom - own.top;
    SetWindowPos(window, nullptr, outer.left + (outer.right - outer.left - width) / 2,
                 outer.top + (outer.bottom - outer.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void Win32OptionView::OnInitDialog(HWND window) {
    m_window = window;
    CentreOverOwner(window);
    m_logic->OnInitDialog();
    // A radio button that takes the focus unchecked reports a click: the
    // dialog's own first focus (the "Window" button, the first tab stop)
    // would change the stored mode before the player chose. The focus
    // starts on the checked button, or on Ok.
    HWND focus = GetDlgItem(window, IDC_BUTTON_OK);
    for (int id : kRadioIds) {
        HWND radio = GetDlgItem(window, id);
        if (IsWindowEnabled(radio) && IsDlgButtonChecked(window, id) == BST_CHECKED) focus = radio;
    }
    SetFocus(focus);
}

void Win32OptionView::OnCommand(int id, int code) {
    switch (id) {
        case IDC_BUTTON_OK:
            if (code == BN_CLICKED) m_logic->OnBnClickedButtonOk();
            break;
        case IDC_BUTTON_CANCEL:
            if (code == BN_CLICKED) m_logic->OnBnClickedButtonCancel();
            break;
        case IDC_RADIO_FULLSCREEN:
        case IDC_RADIO_WINDOWED_FULLSCREEN:
        case IDC_RADIO_WINDOW:
            // A click checks an automatic radio button before it reports;
            // an unchecked one reports only that it took the focus.
            if (code == BN_CLICKED && IsDlgButtonChecked(m_window, id) == BST_CHECKED)
                m_logic->OnBnClickedRadio(id);
            break;
        case IDC_LIST_RESOLUTION:
            if (code == LBN_SELCHANGE) m_logic->OnLbnSelchangeListResolution();
            break;
        case IDCANCEL:
            // Escape is Cancel. Enter (IDOK) does nothing: the template has
            // no default button, and closing would drop the player's choice.
            m_logic->OnBnClickedButtonCancel();
            break;
    }
}

INT_PTR CALLBACK Win32OptionView::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        reinterpret_cast<Win32OptionView*>(lParam)->OnInitDialog(window);
        return FALSE;  // the focus is set
    }
    auto* view = reinterpret_cast<Win32OptionView*>(GetWindowLongPtrW(window, DWLP_USER));
    if (!view) return FALSE;
    switch (message) {
        case WM_COMMAND:
            view->OnCommand(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_CLOSE:
            // Ok, Cancel and the close button all end here; the result is
            // not used.
            EndDialog(window, IDCANCEL);
            return TRUE;
    }
    return FALSE;
}

}  // namespace

void RunWin32OptionDialog(HWND owner, DisplayModeSource& modes) {
    // Options and modes are read anew at every opening; the store lives only
    // as long as the dialog.
    Win32OptionView view;
    COptionDialog dialog(view, modes);
    view.Bind(dialog);
    // The dialog box disables the owner while it runs and enables it again
    // before it returns.
    const INT_PTR result =
        DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(COptionDialog::kDialogResource), owner,
                        &Win32OptionView::DialogProc, reinterpret_cast<LPARAM>(&view));
    RT_ASSERT(result == -1, false, L"RunWin32OptionDialog", L"video option dialog not shown: error %lu",
              GetLastError());
}
