#pragma once
// The video option dialog in the GTK front-end.
#include <gtk/gtk.h>

#include "os/display_modes.h"

// Shows the video option dialog modally over `parent`; returns when OK or
// Cancel ended it.
void RunGtkOptionDialog(GtkWindow* parent, DisplayModeSource& modes);
