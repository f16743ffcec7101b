#pragma once
// The launcher's message boxes: modal GTK dialogs with the text unchanged, the
// caption given (the executable's base name) and only an OK button.
#include <gtk/gtk.h>

#include <string>

// A box over `parent` (may be null), not yet shown; the caller runs or shows
// it. It answers GTK_RESPONSE_OK, or GTK_RESPONSE_DELETE_EVENT when closed.
GtkWidget* CreateMessageBox(GtkWindow* parent, const std::wstring& text, const std::wstring& caption);
