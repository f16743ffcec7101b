#pragma once
// What the video option dialog asks of its window; the GTK dialog, the
// console view and the tests' recording view implement it. Controls are named
// by their ids in the dialog template.
#include <string>

enum OptionDialogControl : int {
    IDC_RADIO_FULLSCREEN = 1027,
    IDC_RADIO_WINDOWED_FULLSCREEN = 1028,
    IDC_RADIO_WINDOW = 1029,
    IDC_BUTTON_OK = 1030,
    IDC_BUTTON_CANCEL = 1031,
    IDC_LIST_RESOLUTION = 1032,
};

class OptionDialogView {
public:
    virtual ~OptionDialogView() = default;
    virtual void EnableControl(int id, bool enable) = 0;
    virtual void SetRadioChecked(int id, bool checked) = 0;
    // Index of the checked button of the radio group (0 to 2), -1 for none.
    virtual int GetCheckedRadioIndex() const = 0;
    // Inserts at an explicit index, so the list keeps this order even if
    // the toolkit's list sorts.
    virtual void InsertListItem(int index, const std::wstring& text) = 0;
    // -1 clears the selection.
    virtual void SetListSelection(int index) = 0;
    // -1 when nothing is selected.
    virtual int GetListSelection() const = 0;
    virtual void InvalidateControl(int id, bool erase) = 0;
    // Closes the dialog (WM_CLOSE); OK and Cancel both end it this way.
    virtual void Close() = 0;
};
