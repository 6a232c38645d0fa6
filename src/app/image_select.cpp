#include "app/image_select.h"

#include "app/bounded_text.h"
#include "app/flash_job.h"
#include "platform/platform.h"

#include <cstring>

namespace {

constexpr int DIALOG_BUF_SIZE = 256;
constexpr char PROPOSED_FILE[] = "modem.hex";
// Description and pattern pairs, "|" standing for the NUL that ends each.
constexpr char FILTER_TEXT[] = "Hex files (*.hex)|*.hex|All files|*.*|";
// A longer file name leaves the caption as it was.
constexpr size_t CAPTION_NAME_MAX = 39;

void make_filter(char (&filter)[DIALOG_BUF_SIZE])
{
    copy_text(filter, FILTER_TEXT);
    size_t length = std::strlen(filter);
    for (size_t i = 0; i < length; ++i)
        if (filter[i] == '|')
            filter[i] = '\0';
}

}  // namespace

bool choose_image_file()
{
    char filter[DIALOG_BUF_SIZE];
    char file[DIALOG_BUF_SIZE];
    char file_title[DIALOG_BUF_SIZE] = {};
    make_filter(filter);
    copy_text(file, PROPOSED_FILE);

    platform::OpenFileRequest request;
    request.title = "Choose File to Download";
    request.filter = filter;
    request.filter_index = 1;
    request.default_extension = "hex";
    request.file_must_exist = true;
    request.hide_read_only = true;
    request.file = file;
    request.file_size = DIALOG_BUF_SIZE;
    request.file_title = file_title;
    request.file_title_size = DIALOG_BUF_SIZE;

    copy_text(job.image_path, file);
    if (!platform::window().open_file_dialog(request))
        return false;

    // Whatever the dialog left, the texts end inside their buffers.
    file[DIALOG_BUF_SIZE - 1] = '\0';
    file_title[DIALOG_BUF_SIZE - 1] = '\0';
    copy_text(job.image_path, file);
    if (std::strlen(file_title) <= CAPTION_NAME_MAX) {
        char caption[sizeof "Flash - " + CAPTION_NAME_MAX];
        format_text(caption, "Flash - %s", file_title);
        platform::window().set_caption(caption);
    }
    return true;
}
