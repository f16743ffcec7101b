// Minimal modal dialog so that the window links; the video option dialog's
// own implementation replaces this file.
#include "ui/gtk/gtk_option_dialog.h"

void RunGtkOptionDialog(GtkWindow* parent, DisplayModeSource&) {
    GtkWidget* dialog = gtk_dialog_new_with_buttons("Option", parent, GTK_DIALOG_MODAL, "OK", GTK_RESPONSE_OK,
                                                    "Cancel", GTK_RESPONSE_CANCEL, nullptr);
    gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
}
