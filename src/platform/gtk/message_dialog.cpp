#include "platform/gtk/dialogs.h"
#include "platform/gtk/display_text.h"

namespace {

constexpr unsigned BUTTONS_MASK = 0x000F;
constexpr unsigned ICON_MASK = 0x00F0;
constexpr unsigned DEFAULT_BUTTON_MASK = 0x0F00;

// GTK 3.24 draws no icon of its own for the message type: reports get the
// theme's warning sign beside their text.
void add_warning_sign(GtkWidget* dialog)
{
    GtkWidget* text_area = gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(dialog));
    GtkWidget* row = gtk_widget_get_parent(text_area);
    if (!GTK_IS_BOX(row))
        return;
    GtkWidget* sign = gtk_image_new_from_icon_name("dialog-warning", GTK_ICON_SIZE_DIALOG);
    gtk_widget_set_valign(sign, GTK_ALIGN_START);
    gtk_box_pack_start(GTK_BOX(row), sign, FALSE, FALSE, 0);
    gtk_box_reorder_child(GTK_BOX(row), sign, 0);
    gtk_widget_show(sign);
}

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
    if (warning)
        add_warning_sign(dialog);

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
