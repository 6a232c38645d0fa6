#include "platform/gtk/gtk_window.h"

#include "platform/gtk/dialogs.h"
#include "platform/gtk/display_text.h"

#include <csignal>
#include <glib-unix.h>

namespace {

constexpr char FIRST_CAPTION[] = "Flash Loader Ver:4.4";
constexpr int WIDTH_CHARS = 65;
constexpr int TEXT_LINES = 3;
constexpr int BORDER_PX = 6;
// Events dispatched in one go before the core gets its turn again, so that
// a stream of events cannot starve the job.
constexpr int MAX_EVENTS_PER_TURN = 64;

}  // namespace

GtkWindowSide::GtkWindowSide()
{
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window_), FIRST_CAPTION);
    g_signal_connect(window_, "delete-event", G_CALLBACK(on_delete), this);
    g_signal_connect(window_, "destroy", G_CALLBACK(on_destroy), this);

    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_container_set_border_width(GTK_CONTAINER(box), BORDER_PX);
    gtk_container_add(GTK_CONTAINER(window_), box);

    status_ = gtk_label_new("Flash");
    gtk_label_set_xalign(GTK_LABEL(status_), 0.0f);
    gtk_label_set_yalign(GTK_LABEL(status_), 0.0f);
    gtk_label_set_line_wrap(GTK_LABEL(status_), TRUE);
    gtk_label_set_line_wrap_mode(GTK_LABEL(status_), PANGO_WRAP_WORD_CHAR);
    gtk_label_set_max_width_chars(GTK_LABEL(status_), WIDTH_CHARS);
    gtk_box_pack_start(GTK_BOX(box), status_, TRUE, TRUE, 0);

    progress_ = gtk_progress_bar_new();
    gtk_box_pack_start(GTK_BOX(box), progress_, FALSE, FALSE, 0);
    size_from_font();
}

GtkWindowSide::~GtkWindowSide()
{
    remove_idle_sources();
    for (guint& source : signal_sources_) {
        if (source)
            g_source_remove(source);
        source = 0;
    }
    if (window_) {
        destroyed_by_core_ = true;
        gtk_widget_destroy(window_);
    }
}

void GtkWindowSide::size_from_font()
{
    PangoContext* context = gtk_widget_get_pango_context(status_);
    PangoFontMetrics* metrics =
        pango_context_get_metrics(context, pango_context_get_font_description(context), nullptr);
    int char_width = PANGO_PIXELS(pango_font_metrics_get_approximate_char_width(metrics));
    int line_height = PANGO_PIXELS(pango_font_metrics_get_height(metrics));
    if (line_height <= 0)
        line_height = PANGO_PIXELS(pango_font_metrics_get_ascent(metrics) + pango_font_metrics_get_descent(metrics));
    pango_font_metrics_unref(metrics);
    // The bar takes its own natural height below the three lines.
    gtk_widget_set_size_request(status_, WIDTH_CHARS * char_width, TEXT_LINES * line_height);
}

void GtkWindowSide::show()
{
    gtk_widget_show_all(window_);
    redraw_after_dialog();
}

void GtkWindowSide::treat_signals_as_close()
{
    signal_sources_[0] = g_unix_signal_add(SIGINT, on_close_signal, this);
    signal_sources_[1] = g_unix_signal_add(SIGTERM, on_close_signal, this);
}

int GtkWindowSide::message_box(const char* text, const char* caption, unsigned flags)
{
    int answer = run_message_dialog(window_ ? GTK_WINDOW(window_) : nullptr, text, caption, flags);
    redraw_after_dialog();
    return answer;
}

void GtkWindowSide::set_status_text(const char* text)
{
    if (status_)
        gtk_label_set_text(GTK_LABEL(status_), display_text(text, true).c_str());
}

void GtkWindowSide::set_progress(int percent)
{
    if (!progress_)
        return;
    int shown = percent < 0 ? 0 : percent > 100 ? 100 : percent;
    gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(progress_), shown / 100.0);
}

void GtkWindowSide::set_caption(const char* text)
{
    if (window_)
        gtk_window_set_title(GTK_WINDOW(window_), display_text(text, false).c_str());
}

void GtkWindowSide::set_wait_cursor()
{
    set_cursor("wait");
}

void GtkWindowSide::set_arrow_cursor()
{
    set_cursor(nullptr);
}

// The job may block right after this (the probe's AT dialogue), so the
// cursor goes to the display at once. No name means the default arrow.
void GtkWindowSide::set_cursor(const char* name)
{
    GdkWindow* gdk_window = window_ ? gtk_widget_get_window(window_) : nullptr;
    if (!gdk_window)
        return;
    GdkDisplay* display = gdk_window_get_display(gdk_window);
    GdkCursor* cursor = name ? gdk_cursor_new_from_name(display, name) : nullptr;
    gdk_window_set_cursor(gdk_window, cursor);
    if (cursor)
        g_object_unref(cursor);
    gdk_display_flush(display);
}

bool GtkWindowSide::open_file_dialog(platform::OpenFileRequest& request)
{
    bool chosen = run_open_file_dialog(window_ ? GTK_WINDOW(window_) : nullptr, request);
    redraw_after_dialog();
    return chosen;
}

void GtkWindowSide::destroy_main_window()
{
    if (!window_)
        return;
    destroyed_by_core_ = true;
    gtk_widget_destroy(window_);
}

platform::WindowEvent GtkWindowSide::next_event()
{
    bool dispatched = false;
    for (int i = 0; i < MAX_EVENTS_PER_TURN && !close_requested_ && !destroyed_elsewhere_ && gtk_events_pending();
         ++i) {
        gtk_main_iteration_do(FALSE);
        dispatched = true;
    }
    if (destroyed_elsewhere_) {
        destroyed_elsewhere_ = false;
        return platform::WindowEvent::Destroyed;
    }
    if (close_requested_) {
        close_requested_ = false;
        return platform::WindowEvent::CloseRequested;
    }
    return dispatched ? platform::WindowEvent::Other : platform::WindowEvent::None;
}

// Sleeps in GLib's own loop, so its timers and the display keep working:
// one blocking iteration that a window event, the serial descriptor or the
// deadline ends. The serial watch is level-triggered and would keep
// gtk_events_pending true until the job reads the port, so it removes
// itself when it fires and each wait arms it afresh.
void GtkWindowSide::idle_wait(int serial_fd, uint32_t max_ms)
{
    if (serial_fd >= 0)
        serial_watch_ = g_unix_fd_add(serial_fd, GIOCondition(G_IO_IN | G_IO_HUP | G_IO_ERR), on_serial_readable, this);
    idle_timer_ = g_timeout_add(max_ms, on_idle_timeout, this);
    gtk_main_iteration_do(TRUE);
    remove_idle_sources();
}

void GtkWindowSide::remove_idle_sources()
{
    if (serial_watch_)
        g_source_remove(serial_watch_);
    if (idle_timer_)
        g_source_remove(idle_timer_);
    serial_watch_ = 0;
    idle_timer_ = 0;
}

// A modal dialog has just closed: let the main window repaint where it was
// before the job blocks again. Events other than drawing only set flags.
void GtkWindowSide::redraw_after_dialog()
{
    for (int i = 0; i < MAX_EVENTS_PER_TURN && gtk_events_pending(); ++i)
        gtk_main_iteration_do(FALSE);
}

gboolean GtkWindowSide::on_delete(GtkWidget*, GdkEvent*, gpointer self)
{
    // The core decides: it may ask first, and it destroys the window itself.
    static_cast<GtkWindowSide*>(self)->close_requested_ = true;
    return TRUE;
}

void GtkWindowSide::on_destroy(GtkWidget*, gpointer self)
{
    auto* side = static_cast<GtkWindowSide*>(self);
    side->window_ = nullptr;
    side->status_ = nullptr;
    side->progress_ = nullptr;
    if (!side->destroyed_by_core_)
        side->destroyed_elsewhere_ = true;
}

gboolean GtkWindowSide::on_close_signal(gpointer self)
{
    static_cast<GtkWindowSide*>(self)->close_requested_ = true;
    return G_SOURCE_CONTINUE;
}

gboolean GtkWindowSide::on_serial_readable(gint, GIOCondition, gpointer self)
{
    static_cast<GtkWindowSide*>(self)->serial_watch_ = 0;
    return G_SOURCE_REMOVE;
}

gboolean GtkWindowSide::on_idle_timeout(gpointer self)
{
    static_cast<GtkWindowSide*>(self)->idle_timer_ = 0;
    return G_SOURCE_REMOVE;
}
