#include "platform/gtk/dialogs.h"
#include "platform/gtk/display_text.h"

namespace {

constexpr unsigned BUTTONS_MASK = 0x000F;
constexpr unsigned ICON_MASK = 0x00F0;
constexpr unsigned DEFAULT_BUTTON_MASK = 0x0F00;

}  // namespace

int run_message_dialog(GtkWindow* parent, const char* text, const char* caption, unsigned flags)
{
    namespace mb = platform::mb;
    bool question = (flags & BUTTONS_MASK) == mb::YESNO;
    bool warning = (flags & ICON_MASK) == mb::ICON_EXCLAMATION;
    GtkMessageType type = warning ? GTK_MESSAGE_WARNING : question ? GTK_MESSAGE_QUESTION : GTK_MESSAGE_INFO;

    GtkWidget* dialog = gtk_message_dialog_new(parent, GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
                                               type, question ? GTK_BUTTONS_YES_NO : GTK_BUTTONS_OK, "%s",
                                               display_text(text, true).c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), display_text(caption, false).c_str());

    int default_response = GTK_RESPONSE_OK;
    if (question)
        default_response = (flags & DEFAULT_BUTTON_MASK) == mb::DEFBUTTON2 ? GTK_RESPONSE_NO : GTK_RESPONSE_YES;
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), default_response);
    // Return answers with the default button: it must hold the focus too.
    if (GtkWidget* button = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), default_response))
        gtk_widget_grab_focus(button);

    int response = gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    if (!question)
        return mb::ANSWER_OK;
    return response == GTK_RESPONSE_YES ? mb::ANSWER_YES : mb::ANSWER_NO;
}
