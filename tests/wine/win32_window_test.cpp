// The Win32 main window under Wine: its layout, its controls, and how window
// messages reach the core as events.
#include "app/flash_job.h"
#include "platform/platform.h"
#include "platform/win32/win32_main_window.h"
#include "platform/win32/win32_window_side.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

using platform::WindowEvent;

class Win32WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        reset_flash_job();
        platform::services().window = &side;
        ASSERT_TRUE(platform::init_instance(GetModuleHandleA(nullptr), SW_SHOWNORMAL));
        window = platform::main_window_handles().main_window;
        drain();
    }

    void TearDown() override
    {
        if (IsWindow(window))
            side.destroy_main_window();
        drain();
        platform::services().window = nullptr;
    }

    // Dispatches what is waiting; returns the events other than Other.
    std::string drain()
    {
        std::string seen;
        for (WindowEvent event; (event = side.next_event()) != WindowEvent::None;) {
            if (event == WindowEvent::CloseRequested)
                seen += "close ";
            else if (event == WindowEvent::Destroyed)
                seen += "destroyed ";
            else if (event == WindowEvent::Quit)
                seen += "quit ";
        }
        return seen;
    }

    static std::string text_of(HWND control)
    {
        char text[256] = {};
        GetWindowTextA(control, text, sizeof text);
        return text;
    }

    static RECT client_rect_of(HWND child)
    {
        RECT rect = {};
        GetWindowRect(child, &rect);
        MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }

    platform::Win32WindowSide side;
    HWND window = nullptr;
};

TEST_F(Win32WindowTest, ShowsStatusLinesAndProgressInAWindowSizedToThem)
{
    const platform::MainWindowHandles& handles = platform::main_window_handles();
    char class_name[64] = {};
    GetClassNameA(window, class_name, sizeof class_name);
    EXPECT_STREQ(class_name, "GenericWClass");
    EXPECT_EQ(text_of(window), "Flash Loader Ver:4.4");
    EXPECT_EQ(text_of(handles.status_text), "Flash Loader Ver:4.4\nEnter File Name.");

    TEXTMETRICA metrics = {};
    HDC dc = GetDC(window);
    GetTextMetricsA(dc, &metrics);
    ReleaseDC(window, dc);
    int line = metrics.tmHeight + metrics.tmExternalLeading;
    int bar = GetSystemMetrics(SM_CYVSCROLL);
    RECT client = {};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 65 * metrics.tmAveCharWidth);
    EXPECT_EQ(client.bottom, 3 * line + bar);

    RECT status = client_rect_of(handles.status_text);
    RECT progress = client_rect_of(handles.progress_bar);
    EXPECT_EQ(status.bottom - status.top, 3 * line);
    EXPECT_EQ(progress.top, 3 * line + 1);
    EXPECT_EQ(progress.bottom - progress.top, bar);
    EXPECT_EQ(progress.right - progress.left, client.right);

    // A client area too low for the bar leaves it no height at all.
    RECT frame = {0, 0, client.right, 2 * line};
    AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top, SWP_NOMOVE | SWP_NOZORDER);
    progress = client_rect_of(handles.progress_bar);
    EXPECT_EQ(progress.bottom - progress.top, 0);

    side.set_status_text("Programming the Flash\n<50%>  Complete.");
    side.set_progress(50);
    side.set_caption("Flash - image.hex");
    EXPECT_EQ(text_of(handles.status_text), "Programming the Flash\n<50%>  Complete.");
    EXPECT_EQ(SendMessageA(handles.progress_bar, PBM_GETPOS, 0, 0), 50);
    EXPECT_EQ(text_of(window), "Flash - image.hex");
}

TEST_F(Win32WindowTest, CloseIsLeftToTheCoreAndOnlyAnOutsideDestroyIsReported)
{
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(drain(), "close ");
    EXPECT_TRUE(IsWindow(window)) << "the window must stay until the core decides";

    // The core's own destroy is not reported back: only the quit follows.
    side.destroy_main_window();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(drain(), "quit ");
}

TEST_F(Win32WindowTest, WindowDestroyedFromOutsideIsReportedOnce)
{
    DestroyWindow(window);
    EXPECT_EQ(drain(), "destroyed quit ");
}

}  // namespace
