#include "ui/gtk/message_box.h"

#include "util/text_util.h"

GtkWidget* CreateMessageBox(GtkWindow* parent, const std::wstring& text, const std::wstring& caption) {
    // "%s": the text is shown as it is, a per cent sign included.
    GtkWidget* box = gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER, GTK_BUTTONS_OK, "%s",
                                            text::ToUtf8(text).c_str());
    gtk_window_set_title(GTK_WINDOW(box), text::ToUtf8(caption).c_str());
    // The boxes were system-modal: keep them above the launcher's window.
    gtk_window_set_keep_above(GTK_WINDOW(box), TRUE);
    gtk_window_set_position(GTK_WINDOW(box), parent ? GTK_WIN_POS_CENTER_ON_PARENT : GTK_WIN_POS_CENTER);
    gtk_window_set_skip_taskbar_hint(GTK_WINDOW(box), FALSE);
    return box;
}
