// The window side in GTK 3: the main window with its status label and
// progress bar, the message and file dialogs, the cursors, and the events
// and idle waits of the core's main loop. GTK callbacks only set flags; the
// core's main loop acts on them between job steps.
#pragma once

#include "platform/platform.h"

#include <gtk/gtk.h>

class GtkWindowSide : public platform::WindowSide {
public:
    // Builds the window captioned "Flash Loader Ver:4.4", sized from its
    // font: 65 average characters wide, three lines of text and a bar high.
    GtkWindowSide();
    ~GtkWindowSide() override;
    GtkWindowSide(const GtkWindowSide&) = delete;
    GtkWindowSide& operator=(const GtkWindowSide&) = delete;

    void show();
    // SIGINT and SIGTERM reach the core as the window's close.
    void treat_signals_as_close();

    int message_box(const char* text, const char* caption, unsigned flags) override;
    void set_status_text(const char* text) override;
    void set_progress(int percent) override;
    void set_caption(const char* text) override;
    void set_wait_cursor() override;
    void set_arrow_cursor() override;
    bool open_file_dialog(platform::OpenFileRequest& request) override;
    void destroy_main_window() override;
    platform::WindowEvent next_event() override;
    void idle_wait(int serial_fd, uint32_t max_ms) override;

private:
    static gboolean on_delete(GtkWidget*, GdkEvent*, gpointer self);
    static void on_destroy(GtkWidget*, gpointer self);
    static gboolean on_close_signal(gpointer self);
    static gboolean on_serial_readable(gint fd, GIOCondition, gpointer self);
    static gboolean on_idle_timeout(gpointer self);

    void size_from_font();
    void set_cursor(const char* name);
    void redraw_after_dialog();
    void remove_idle_sources();

    GtkWidget* window_ = nullptr;
    GtkWidget* status_ = nullptr;
    GtkWidget* progress_ = nullptr;
    bool close_requested_ = false;
    bool destroyed_by_core_ = false;
    bool destroyed_elsewhere_ = false;
    guint serial_watch_ = 0;
    guint idle_timer_ = 0;
    guint signal_sources_[2] = {};
};
