// The modal dialogs of the main window: message boxes and the open-file
// dialog, each run to its end with gtk_dialog_run.
#pragma once

#include "platform/platform.h"

#include <gtk/gtk.h>

// A message dialog titled `caption`: a warning for reports with the
// exclamation flag, Yes and No for questions (No the default button with
// DEFBUTTON2, else Yes), OK otherwise. Returns a platform::mb answer; a
// question closed without an answer counts as No.
int run_message_dialog(GtkWindow* parent, const char* text, const char* caption, unsigned flags);

// The open-file dialog of `request`, starting in the current directory with
// the proposed file selected when it exists. A name that is not an existing
// file, or a path too long for the request's buffer, is refused with a
// message and the dialog stays open. False when cancelled.
bool run_open_file_dialog(GtkWindow* parent, platform::OpenFileRequest& request);
