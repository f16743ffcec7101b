#pragma once
// The video option dialog's window in GTK: the controls of dialog template
// 189 at their template places, rendering a COptionDialog and passing the
// player's clicks and list choices back to it.
#include <gtk/gtk.h>

#include <string>

#include "launcher/options/option_dialog_view.h"

class COptionDialog;

class GtkOptionView : public OptionDialogView {
public:
    explicit GtkOptionView(GtkWindow* parent);
    ~GtkOptionView() override;
    GtkOptionView(const GtkOptionView&) = delete;
    GtkOptionView& operator=(const GtkOptionView&) = delete;

    // The logic that the controls' events go to; set before Run.
    void Bind(COptionDialog& dialog) { m_dialog = &dialog; }
    // Shows the dialog modally over the parent and returns once it is closed
    // (Ok, Cancel or the window's close button).
    void Run();

    void EnableControl(int id, bool enable) override;
    void SetRadioChecked(int id, bool checked) override;
    int GetCheckedRadioIndex() const override;
    void InsertListItem(int index, const std::wstring& text) override;
    void SetListSelection(int index) override;
    int GetListSelection() const override;
    void InvalidateControl(int id, bool erase) override;
    void Close() override;

    GtkWidget* Dialog() const { return m_window; }

private:
    GtkWidget* ControlById(int id) const;
    void Place(GtkWidget* widget, int x, int y, int width, int height);
    void ScrollToSelection();

    static void OnRadioToggled(GtkToggleButton* button, gpointer self);
    static void OnButtonClicked(GtkButton* button, gpointer self);
    static void OnRowSelected(GtkListBox* list, GtkListBoxRow* row, gpointer self);
    static void OnListAllocated(GtkWidget* list, GdkRectangle* allocation, gpointer self);

    COptionDialog* m_dialog = nullptr;
    GtkWidget* m_window = nullptr;
    GtkWidget* m_fixed = nullptr;
    // An unshown member of the radio group: checked, it stands for "no
    // button checked", which a GTK radio group cannot otherwise show.
    GtkWidget* m_noRadio = nullptr;
    GtkWidget* m_radios[3] = {};
    GtkWidget* m_ok = nullptr;
    GtkWidget* m_cancel = nullptr;
    GtkWidget* m_listFrame = nullptr;  // scrolled window with border around the list
    GtkWidget* m_list = nullptr;
    // Set while the logic changes controls, whose signals are not the player's.
    bool m_updating = false;
    bool m_scrollPending = false;
};
