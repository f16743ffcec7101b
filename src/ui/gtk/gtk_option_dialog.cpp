#include "ui/gtk/gtk_option_dialog.h"

#include "launcher/options/option_dialog.h"
#include "ui/gtk/gtk_option_view.h"

void RunGtkOptionDialog(GtkWindow* parent, DisplayModeSource& modes) {
    // Options and modes are read anew at every opening; the store lives only
    // as long as the dialog.
    GtkOptionView view(parent);
    COptionDialog dialog(view, modes);
    view.Bind(dialog);
    dialog.OnInitDialog();
    view.Run();
}
