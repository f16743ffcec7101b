#pragma once
// The video option dialog in GTK.
#include <gtk/gtk.h>

#include "platform/display_modes.h"

// Shows the video option dialog modally over `parent`; returns when OK or
// Cancel ended it.
void RunGtkOptionDialog(GtkWindow* parent, DisplayModeSource& modes);
