#include "platform/gtk/dialogs.h"
#include "platform/gtk/display_text.h"
#include "platform/gtk/file_choice.h"

#include <cstdio>
#include <string>

namespace {

void add_filters(GtkFileChooser* chooser, const platform::OpenFileRequest& request)
{
    std::vector<FileFilterSpec> specs = parse_file_filters(request.filter);
    for (size_t i = 0; i < specs.size(); ++i) {
        GtkFileFilter* filter = gtk_file_filter_new();
        gtk_file_filter_set_name(filter, display_text(specs[i].name.c_str(), false).c_str());
        for (const std::string& glob : specs[i].globs)
            gtk_file_filter_add_pattern(filter, glob.c_str());
        gtk_file_chooser_add_filter(chooser, filter);
        if (static_cast<int>(i) + 1 == request.filter_index)
            gtk_file_chooser_set_filter(chooser, filter);
    }
}

// Opens in the current directory, with the proposed file selected when it
// is there, so that Open takes it at once.
void propose_file(GtkFileChooser* chooser, const platform::OpenFileRequest& request)
{
    gchar* cwd = g_get_current_dir();
    gtk_file_chooser_set_current_folder(chooser, cwd);
    if (request.file && request.file[0] != '\0') {
        gchar* proposed = g_build_filename(cwd, request.file, nullptr);
        if (g_file_test(proposed, G_FILE_TEST_IS_REGULAR))
            gtk_file_chooser_select_filename(chooser, proposed);
        g_free(proposed);
    }
    g_free(cwd);
}

void refuse(GtkWindow* dialog, const std::string& text)
{
    run_message_dialog(dialog, text.c_str(), "Choose File to Download",
                       platform::mb::OK | platform::mb::ICON_EXCLAMATION);
}

// The confirmed choice as the request wants it, or a reason to refuse it.
bool take_choice(GtkFileChooser* chooser, platform::OpenFileRequest& request, std::string& refusal)
{
    gchar* name = gtk_file_chooser_get_filename(chooser);
    if (!name) {
        refusal = "Only files on this computer can be chosen.";
        return false;
    }
    std::string chosen = name;
    g_free(name);
    std::string path = resolve_chosen_file(chosen, request.default_extension);
    if (path.empty()) {
        if (request.file_must_exist) {
            refusal = chosen + "\nFile not found.\nCheck the file name and try again.";
            return false;
        }
        path = chosen;
    }
    std::string title = file_title_of(path);
    // A cut path would name another file: refuse it instead.
    bool title_fits = !request.file_title || title.size() < static_cast<size_t>(request.file_title_size);
    if (path.size() >= static_cast<size_t>(request.file_size) || !title_fits) {
        refusal = path + "\nThe path is too long: at most " + std::to_string(request.file_size - 1) +
                  " characters.";
        return false;
    }
    std::snprintf(request.file, static_cast<size_t>(request.file_size), "%s", path.c_str());
    if (request.file_title)
        std::snprintf(request.file_title, static_cast<size_t>(request.file_title_size), "%s", title.c_str());
    return true;
}

}  // namespace

bool run_open_file_dialog(GtkWindow* parent, platform::OpenFileRequest& request)
{
    if (!request.file || request.file_size <= 0)
        return false;
    GtkWidget* dialog = gtk_file_chooser_dialog_new(display_text(request.title, false).c_str(), parent,
                                                    GTK_FILE_CHOOSER_ACTION_OPEN, "_Cancel", GTK_RESPONSE_CANCEL,
                                                    "_Open", GTK_RESPONSE_ACCEPT, nullptr);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
    gtk_file_chooser_set_local_only(chooser, TRUE);
    add_filters(chooser, request);
    propose_file(chooser, request);

    bool chosen = false;
    while (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
        std::string refusal;
        if (take_choice(chooser, request, refusal)) {
            chosen = true;
            break;
        }
        refuse(GTK_WINDOW(dialog), refusal);
    }
    gtk_widget_destroy(dialog);
    return chosen;
}
