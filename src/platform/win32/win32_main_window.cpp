#include "platform/win32/win32_main_window.h"

#include "app/bounded_text.h"
#include "app/flash_job.h"
#include "app/main_window.h"

#include <commctrl.h>

namespace platform {

namespace {

constexpr char CLASS_NAME[] = "GenericWClass";
constexpr char WINDOW_CAPTION[] = "Flash Loader Ver:4.4";
constexpr int INITIAL_WIDTH = 300;
constexpr int INITIAL_HEIGHT = 200;
constexpr int CLIENT_WIDTH_CHARS = 65;
constexpr int STATUS_LINES = 3;
constexpr int PROGRESS_MAX = 100;

MainWindowHandles handles;
WindowEvent pending_event = WindowEvent::None;
bool core_destroys = false;

TEXTMETRICA text_metrics(HWND window)
{
    TEXTMETRICA metrics = {};
    HDC dc = GetDC(window);
    GetTextMetricsA(dc, &metrics);
    ReleaseDC(window, dc);
    return metrics;
}

int line_height(const TEXTMETRICA& metrics)
{
    return metrics.tmHeight + metrics.tmExternalLeading;
}

void create_controls(HWND window, const CREATESTRUCTA* creation)
{
    core_destroys = false;
    handles.app_instance = creation->hInstance;
    handles.main_window = window;
    handles.status_text = CreateWindowExA(0, "static", "Flash", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, window, nullptr,
                                          handles.app_instance, nullptr);
    InitCommonControls();
    handles.progress_bar = CreateWindowExA(0, PROGRESS_CLASSA, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, window,
                                           nullptr, handles.app_instance, nullptr);
}

// The status text takes three lines at the top; the bar gets a scroll bar's
// height below it, or what is left of the client area.
void layout_controls(HWND window, int width, int height)
{
    int text_height = STATUS_LINES * line_height(text_metrics(window));
    MoveWindow(handles.status_text, 0, 0, width, text_height, TRUE);
    int room = height - text_height;
    int bar_height = GetSystemMetrics(SM_CYVSCROLL) < room ? GetSystemMetrics(SM_CYVSCROLL) : room;
    if (bar_height < 0)
        bar_height = 0;
    MoveWindow(handles.progress_bar, 0, text_height + 1, width, bar_height, TRUE);
    SendMessageA(handles.progress_bar, PBM_SETRANGE, 0, MAKELPARAM(0, PROGRESS_MAX));
    SendMessageA(handles.progress_bar, PBM_SETSTEP, 1, 0);
}

LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_CREATE:
        create_controls(window, reinterpret_cast<const CREATESTRUCTA*>(lparam));
        return 0;
    case WM_SIZE:
        layout_controls(window, LOWORD(lparam), HIWORD(lparam));
        return 0;
    case WM_CLOSE:
        // The core decides: ask during image writing, otherwise destroy.
        pending_event = WindowEvent::CloseRequested;
        return 0;
    case WM_DESTROY:
        if (!core_destroys)
            pending_event = WindowEvent::Destroyed;
        handles = MainWindowHandles{};
        PostQuitMessage(0);
        return 0;
    default: return DefWindowProcA(window, message, wparam, lparam);
    }
}

void register_class(HINSTANCE instance)
{
    WNDCLASSA window_class = {};
    window_class.style = 0;
    window_class.lpfnWndProc = main_window_proc;
    window_class.hInstance = instance;
    window_class.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    window_class.lpszClassName = CLASS_NAME;
    RegisterClassA(&window_class);
}

// Client area of 65 average characters by three lines and a bar, placed
// where the system put the window but never above or left of the screen.
void size_from_font(HWND window)
{
    TEXTMETRICA metrics = text_metrics(window);
    int client_width = CLIENT_WIDTH_CHARS * metrics.tmAveCharWidth;
    int client_height = STATUS_LINES * line_height(metrics) + GetSystemMetrics(SM_CYVSCROLL);

    RECT frame = {};
    GetWindowRect(window, &frame);
    frame.right = frame.left + client_width;
    frame.bottom = frame.top + client_height;
    AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    if (frame.top < 0) {
        frame.bottom -= frame.top;
        frame.top = 0;
    }
    if (frame.left < 0) {
        frame.right -= frame.left;
        frame.left = 0;
    }
    MoveWindow(window, frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top, TRUE);
}

}  // namespace

const MainWindowHandles& main_window_handles()
{
    return handles;
}

bool init_instance(HINSTANCE instance, int show_command)
{
    register_class(instance);
    HWND window = CreateWindowExA(0, CLASS_NAME, WINDOW_CAPTION, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                  INITIAL_WIDTH, INITIAL_HEIGHT, nullptr, nullptr, instance, nullptr);
    if (!window)
        return false;
    copy_text(job.str_out1, "Flash Loader Ver:4.4");
    copy_text(job.str_out2, "Enter File Name.");
    size_from_font(window);
    ShowWindow(window, show_command);
    refresh_display();
    return true;
}

WindowEvent take_window_event()
{
    WindowEvent event = pending_event;
    pending_event = WindowEvent::None;
    return event;
}

void destroy_main_window_for_core()
{
    core_destroys = true;
    DestroyWindow(handles.main_window);
}

}  // namespace platform
