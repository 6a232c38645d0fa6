#include "platform/win32/win32_window_side.h"

#include "platform/win32/win32_main_window.h"

#include <commctrl.h>
#include <commdlg.h>
#include <windows.h>

#include <cstddef>

namespace platform {

namespace {

static_assert(mb::OK == MB_OK && mb::YESNO == MB_YESNO && mb::ICON_EXCLAMATION == MB_ICONEXCLAMATION &&
                  mb::DEFBUTTON2 == MB_DEFBUTTON2,
              "message box flags");
static_assert(mb::ANSWER_OK == IDOK && mb::ANSWER_CANCEL == IDCANCEL && mb::ANSWER_YES == IDYES &&
                  mb::ANSWER_NO == IDNO,
              "message box answers");

// The dialog record without the fields added in Windows 2000, so that the
// dialog looks the same on every version: 76 bytes in the 32-bit program.
constexpr DWORD DIALOG_RECORD_SIZE = offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR);
#ifndef _WIN64
static_assert(DIALOG_RECORD_SIZE == 76, "dialog record size");
#endif

constexpr DWORD POLL_INTERVAL_MS = 1;

}  // namespace

int Win32WindowSide::message_box(const char* text, const char* caption, unsigned flags)
{
    return MessageBoxA(main_window_handles().main_window, text, caption, flags);
}

void Win32WindowSide::set_status_text(const char* text)
{
    SetWindowTextA(main_window_handles().status_text, text);
}

void Win32WindowSide::set_progress(int percent)
{
    SendMessageA(main_window_handles().progress_bar, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
}

void Win32WindowSide::set_caption(const char* text)
{
    SetWindowTextA(main_window_handles().main_window, text);
}

void Win32WindowSide::set_wait_cursor()
{
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
}

void Win32WindowSide::set_arrow_cursor()
{
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
}

bool Win32WindowSide::open_file_dialog(OpenFileRequest& request)
{
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = DIALOG_RECORD_SIZE;
    dialog.hwndOwner = main_window_handles().main_window;
    dialog.lpstrFilter = request.filter;
    dialog.nFilterIndex = static_cast<DWORD>(request.filter_index);
    dialog.lpstrFile = request.file;
    dialog.nMaxFile = static_cast<DWORD>(request.file_size);
    dialog.lpstrFileTitle = request.file_title;
    dialog.nMaxFileTitle = static_cast<DWORD>(request.file_title_size);
    dialog.lpstrTitle = request.title;
    dialog.Flags = (request.file_must_exist ? OFN_FILEMUSTEXIST : 0) | (request.hide_read_only ? OFN_HIDEREADONLY : 0);
    dialog.lpstrDefExt = request.default_extension;
    return GetOpenFileNameA(&dialog) != FALSE;
}

void Win32WindowSide::destroy_main_window()
{
    destroy_main_window_for_core();
}

WindowEvent Win32WindowSide::next_event()
{
    WindowEvent left = take_window_event();
    if (left != WindowEvent::None)
        return left;
    MSG message;
    if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        return WindowEvent::None;
    if (message.message == WM_QUIT)
        return WindowEvent::Quit;
    TranslateMessage(&message);
    DispatchMessageA(&message);
    left = take_window_event();
    return left != WindowEvent::None ? left : WindowEvent::Other;
}

void Win32WindowSide::idle_wait(int, uint32_t max_ms)
{
    DWORD wait_ms = max_ms < POLL_INTERVAL_MS ? max_ms : POLL_INTERVAL_MS;
    MsgWaitForMultipleObjectsEx(0, nullptr, wait_ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

}  // namespace platform
