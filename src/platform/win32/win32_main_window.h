// The main window: class "GenericWClass", a static control for the two status
// lines and a progress bar below it, sized from the font's text metrics.
#pragma once

#include "platform/platform.h"

#include <windows.h>

namespace platform {

// Set once by the window's WM_CREATE.
struct MainWindowHandles {
    HINSTANCE app_instance = nullptr;
    HWND main_window = nullptr;
    HWND status_text = nullptr;
    HWND progress_bar = nullptr;
};
const MainWindowHandles& main_window_handles();

// Registers the class, creates the window, sizes it to three text lines and
// a bar, shows it and shows the first status lines. False when the window
// cannot be created. The core's services must be installed first.
bool init_instance(HINSTANCE instance, int show_command);

// What the window procedure left for the main loop: a close request, or the
// destruction of the window when the core did not ask for it. Taken once.
WindowEvent take_window_event();

// Destroys the window for the core; that destruction is not reported back.
void destroy_main_window_for_core();

}  // namespace platform
