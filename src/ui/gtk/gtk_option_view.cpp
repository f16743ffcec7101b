#include "ui/gtk/gtk_option_view.h"

#include "util/text_util.h"
#include "launcher/options/option_dialog.h"

namespace {

// The template is laid out in dialog units of its font, MS Shell Dlg 8 pt,
// whose base units at 96 dpi are 6 x 13 pixels: x = units * 6 / 4,
// y = units * 13 / 8, rounded half up.
int DluToPixelsX(int units) {
    return (units * 6 + 2) / 4;
}
int DluToPixelsY(int units) {
    return (units * 13 + 4) / 8;
}

constexpr int kDialogWidthDlu = 155;
constexpr int kDialogHeightDlu = 207;
constexpr int kRadioIds[] = {IDC_RADIO_FULLSCREEN, IDC_RADIO_WINDOWED_FULLSCREEN, IDC_RADIO_WINDOW};

// The template's 8 pt font; Liberation Sans has the metrics the layout expects.
constexpr const char kDialogCss[] = "* { font-family: \"Liberation Sans\", sans-serif; font-size: 8pt; }";

void ApplyDialogFont(GtkWidget* widget, gpointer provider) {
    gtk_style_context_add_provider(gtk_widget_get_style_context(widget), GTK_STYLE_PROVIDER(provider),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    if (GTK_IS_CONTAINER(widget)) gtk_container_forall(GTK_CONTAINER(widget), ApplyDialogFont, provider);
}

}  // namespace

GtkOptionView::GtkOptionView(GtkWindow* parent) {
    m_window = gtk_dialog_new();
    g_object_ref_sink(m_window);
    gtk_window_set_title(GTK_WINDOW(m_window), "Video option");
    gtk_window_set_modal(GTK_WINDOW(m_window), TRUE);
    gtk_window_set_resizable(GTK_WINDOW(m_window), FALSE);
    if (parent) {
        gtk_window_set_transient_for(GTK_WINDOW(m_window), parent);
        gtk_window_set_position(GTK_WINDOW(m_window), GTK_WIN_POS_CENTER_ON_PARENT);
    }
    m_fixed = gtk_fixed_new();
    gtk_widget_set_size_request(m_fixed, DluToPixelsX(kDialogWidthDlu), DluToPixelsY(kDialogHeightDlu));
    GtkWidget* content = gtk_dialog_get_content_area(GTK_DIALOG(m_window));
    gtk_container_set_border_width(GTK_CONTAINER(m_window), 0);
    gtk_box_pack_start(GTK_BOX(content), m_fixed, TRUE, TRUE, 0);

    // Template order: the three radio buttons, Ok, Cancel, the label, the list.
    m_noRadio = gtk_radio_button_new(nullptr);
    g_object_ref_sink(m_noRadio);
    const char* radioTexts[] = {"Fullscreen", "Windowed fullscreen", "Window"};
    const int radioPlaces[][3] = {{9, 149, 48}, {9, 162, 82}, {9, 175, 41}};
    for (int i = 0; i < 3; ++i) {
        m_radios[i] = gtk_radio_button_new_with_label_from_widget(GTK_RADIO_BUTTON(m_noRadio), radioTexts[i]);
        Place(m_radios[i], radioPlaces[i][0], radioPlaces[i][1], radioPlaces[i][2], 10);
        g_signal_connect(m_radios[i], "toggled", G_CALLBACK(OnRadioToggled), this);
    }
    m_ok = gtk_button_new_with_label("Ok");
    Place(m_ok, 52, 189, 45, 15);
    m_cancel = gtk_button_new_with_label("Cancel");
    Place(m_cancel, 102, 189, 45, 15);
    for (GtkWidget* button : {m_ok, m_cancel}) {
        g_signal_connect(button, "clicked", G_CALLBACK(OnButtonClicked), this);
    }
    GtkWidget* label = gtk_label_new("Resolution");
    gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
    Place(label, 10, 7, 88, 8);

    m_listFrame = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(m_listFrame), GTK_SHADOW_IN);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(m_listFrame), GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
    // The list shows exactly its template height, not a whole number of rows.
    gtk_scrolled_window_set_propagate_natural_height(GTK_SCROLLED_WINDOW(m_listFrame), FALSE);
    m_list = gtk_list_box_new();
    gtk_list_box_set_selection_mode(GTK_LIST_BOX(m_list), GTK_SELECTION_SINGLE);
    gtk_container_add(GTK_CONTAINER(m_listFrame), m_list);
    Place(m_listFrame, 6, 18, 140, 127);
    g_signal_connect(m_list, "row-selected", G_CALLBACK(OnRowSelected), this);
    g_signal_connect(m_list, "size-allocate", G_CALLBACK(OnListAllocated), this);
}

GtkOptionView::~GtkOptionView() {
    gtk_widget_destroy(m_window);
    g_object_unref(m_window);
    gtk_widget_destroy(m_noRadio);
    g_object_unref(m_noRadio);
}

void GtkOptionView::Place(GtkWidget* widget, int x, int y, int width, int height) {
    gtk_widget_set_size_request(widget, DluToPixelsX(width), DluToPixelsY(height));
    gtk_fixed_put(GTK_FIXED(m_fixed), widget, DluToPixelsX(x), DluToPixelsY(y));
}

void GtkOptionView::Run() {
    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css, kDialogCss, -1, nullptr);
    ApplyDialogFont(m_window, css);
    g_object_unref(css);
    // The first control in place order would be the list, and a GTK list
    // selects the row that takes the focus: the stored size would change
    // without the player choosing. The focus starts on the screen mode.
    GtkWidget* first = m_ok;
    for (GtkWidget* radio : m_radios) {
        if (gtk_widget_get_sensitive(radio) &&
            (first == m_ok || gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(radio))))
            first = radio;
    }
    gtk_window_set_focus(GTK_WINDOW(m_window), first);
    gtk_widget_show_all(m_window);
    // Ok, Cancel and the close button all end the loop; the result is not used.
    gtk_dialog_run(GTK_DIALOG(m_window));
    gtk_widget_hide(m_window);
}

GtkWidget* GtkOptionView::ControlById(int id) const {
    switch (id) {
        case IDC_RADIO_FULLSCREEN:
            return m_radios[0];
        case IDC_RADIO_WINDOWED_FULLSCREEN:
            return m_radios[1];
        case IDC_RADIO_WINDOW:
            return m_radios[2];
        case IDC_BUTTON_OK:
            return m_ok;
        case IDC_BUTTON_CANCEL:
            return m_cancel;
        case IDC_LIST_RESOLUTION:
            return m_listFrame;
        default:
            return nullptr;
    }
}

void GtkOptionView::EnableControl(int id, bool enable) {
    if (GtkWidget* control = ControlById(id)) gtk_widget_set_sensitive(control, enable);
}

void GtkOptionView::SetRadioChecked(int id, bool checked) {
    for (int i = 0; i < 3; ++i) {
        if (kRadioIds[i] != id) continue;
        GtkToggleButton* radio = GTK_TOGGLE_BUTTON(m_radios[i]);
        m_updating = true;
        if (checked)
            gtk_toggle_button_set_active(radio, TRUE);
        else if (gtk_toggle_button_get_active(radio))
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(m_noRadio), TRUE);
        m_updating = false;
    }
}

int GtkOptionView::GetCheckedRadioIndex() const {
    for (int i = 0; i < 3; ++i) {
        if (gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(m_radios[i]))) return i;
    }
    return -1;
}

void GtkOptionView::InsertListItem(int index, const std::wstring& text) {
    GtkWidget* label = gtk_label_new(text::ToUtf8(text).c_str());
    gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
    gtk_widget_set_margin_start(label, 3);
    gtk_widget_show(label);
    // The row is inserted at `index`: the list keeps the logic's order.
    gtk_list_box_insert(GTK_LIST_BOX(m_list), label, index);
}

void GtkOptionView::SetListSelection(int index) {
    m_updating = true;
    GtkListBoxRow* row = index >= 0 ? gtk_list_box_get_row_at_index(GTK_LIST_BOX(m_list), index) : nullptr;
    if (row)
        gtk_list_box_select_row(GTK_LIST_BOX(m_list), row);
    else
        gtk_list_box_unselect_all(GTK_LIST_BOX(m_list));
    m_updating = false;
    m_scrollPending = row != nullptr;
    if (m_scrollPending && gtk_widget_get_mapped(m_list)) ScrollToSelection();
}

int GtkOptionView::GetListSelection() const {
    GtkListBoxRow* row = gtk_list_box_get_selected_row(GTK_LIST_BOX(m_list));
    return row ? gtk_list_box_row_get_index(row) : -1;
}

void GtkOptionView::InvalidateControl(int id, bool /*erase*/) {
    if (GtkWidget* control = ControlById(id)) gtk_widget_queue_draw(control);
}

void GtkOptionView::Close() {
    gtk_dialog_response(GTK_DIALOG(m_window), GTK_RESPONSE_CLOSE);
}

// A selected row is brought into view, as a list box does on selection; the
// rows' places are known only once the list has been laid out.
void GtkOptionView::ScrollToSelection() {
    GtkListBoxRow* row = gtk_list_box_get_selected_row(GTK_LIST_BOX(m_list));
    m_scrollPending = false;
    if (!row) return;
    GtkAllocation place;
    gtk_widget_get_allocation(GTK_WIDGET(row), &place);
    GtkAdjustment* scroll = gtk_scrolled_window_get_vadjustment(GTK_SCROLLED_WINDOW(m_listFrame));
    const double top = gtk_adjustment_get_value(scroll);
    const double visible = gtk_adjustment_get_page_size(scroll);
    if (place.y < top)
        gtk_adjustment_set_value(scroll, place.y);
    else if (place.y + place.height > top + visible)
        gtk_adjustment_set_value(scroll, place.y + place.height - visible);
}

void GtkOptionView::OnRadioToggled(GtkToggleButton* button, gpointer self) {
    auto* view = static_cast<GtkOptionView*>(self);
    // Each click toggles two buttons; the newly checked one is the click.
    if (view->m_updating || !view->m_dialog || !gtk_toggle_button_get_active(button)) return;
    for (int i = 0; i < 3; ++i) {
        if (GTK_WIDGET(button) == view->m_radios[i]) view->m_dialog->OnBnClickedRadio(kRadioIds[i]);
    }
}

void GtkOptionView::OnButtonClicked(GtkButton* button, gpointer self) {
    auto* view = static_cast<GtkOptionView*>(self);
    if (!view->m_dialog) return;
    if (GTK_WIDGET(button) == view->m_ok)
        view->m_dialog->OnBnClickedButtonOk();
    else
        view->m_dialog->OnBnClickedButtonCancel();
}

void GtkOptionView::OnRowSelected(GtkListBox*, GtkListBoxRow*, gpointer self) {
    auto* view = static_cast<GtkOptionView*>(self);
    if (!view->m_updating && view->m_dialog) view->m_dialog->OnLbnSelchangeListResolution();
}

void GtkOptionView::OnListAllocated(GtkWidget*, GdkRectangle*, gpointer self) {
    auto* view = static_cast<GtkOptionView*>(self);
    if (view->m_scrollPending) view->ScrollToSelection();
}
