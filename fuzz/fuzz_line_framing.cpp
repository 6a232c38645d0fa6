// Line reading and framing of the loader and image files: any file content,
// sent to a modem that acknowledges every line. The first input byte picks
// the stream and whether each image line is also sent a second time.
#include "fakes.h"
#include "fuzz_support.h"

#include "app/bounded_text.h"
#include "app/flash_job.h"
#include "flash/image_stream.h"
#include "flash/line_reader.h"
#include "flash/loader_download.h"
#include "platform/text_file.h"

#include <cstring>
#include <string>

namespace {

// line_buf holds the framed line and, behind it, the mark of what ended it:
// the loader frames line_len + 1 bytes, the image line_len.
void check_line_bounds(int framed_extra)
{
    FUZZ_CHECK(job.line_len >= 0 && job.line_len + framed_extra + 1 <= LINE_BUF_SIZE);
}

// Each loader record goes out as the prefix, the record and CR; only
// records that start with a colon are sent. A lone CR belongs to the record.
void check_loader_write(const std::string& w)
{
    FUZZ_CHECK(w.size() + 1 <= static_cast<size_t>(LINE_BUF_SIZE));
    FUZZ_CHECK(w.compare(0, 6, "at&&f:") == 0);
    FUZZ_CHECK(w.back() == '\r');
    FUZZ_CHECK(w.find('\n') == std::string::npos);
}

// Each image line goes out as its characters and one CR.
void check_image_write(const std::string& w)
{
    FUZZ_CHECK(w.size() + 1 <= static_cast<size_t>(LINE_BUF_SIZE));
    FUZZ_CHECK(!w.empty() && w.back() == '\r');
    FUZZ_CHECK(w.find_first_of("\r\n") == w.size() - 1);
}

void run_loader(fakes::Doubles& d, size_t file_size)
{
    d.modem.on("", "\r\nOK\r\n");
    job.job_state = ST_DOWNLOAD_LOADER;
    // Every call consumes at least one character or ends the stream.
    for (size_t call = 0; call <= file_size + 1; ++call) {
        size_t writes_before = d.modem.writes.size();
        int done = flash_download_loader();
        check_line_bounds(1);
        FUZZ_CHECK(d.modem.writes.size() - writes_before <= 1);
        if (d.modem.writes.size() > writes_before)
            check_loader_write(d.modem.writes.back());
        if (done || job.job_state != ST_DOWNLOAD_LOADER) {
            // The only way out while the modem answers every line: the end,
            // or a record too long, and the file is closed either way.
            FUZZ_CHECK(done || job.job_state == ST_TEARDOWN);
            FUZZ_CHECK(job.cur_file == nullptr);
            return;
        }
    }
    fuzz_check_failed("the loader stream ends", __FILE__, __LINE__);
}

void run_image(fakes::Doubles& d, size_t file_size, bool resend)
{
    job.job_state = ST_SEND_LINE;
    for (size_t call = 0; call <= file_size + 1; ++call) {
        size_t writes_before = d.modem.writes.size();
        send_image_line(1);
        check_line_bounds(0);
        if (job.job_state == ST_TEARDOWN) {
            FUZZ_CHECK(d.modem.writes.size() == writes_before);
            FUZZ_CHECK(job.cur_file == nullptr);
            return;
        }
        FUZZ_CHECK(d.modem.writes.size() == writes_before + 1);
        const std::string sent = d.modem.writes.back();
        check_image_write(sent);
        if (resend) {
            send_image_line(0);
            FUZZ_CHECK(d.modem.writes.back() == sent);
        }
        if (job.image_eof) {
            text_close(job.cur_file);
            job.cur_file = nullptr;
            return;
        }
    }
    fuzz_check_failed("the image stream ends", __FILE__, __LINE__);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const bool loader = data[0] & 1;
    const bool resend = data[0] & 2;
    ++data;
    --size;

    fakes::Doubles d;
    copy_text(job.image_path, write_scratch_file(data, size));
    job.cur_file = text_open(job.image_path);
    FUZZ_CHECK(job.cur_file);
    job.progress_total = static_cast<int32_t>(size) + 1;
    if (loader)
        run_loader(d, size);
    else
        run_image(d, size, resend);
    check_job_texts_terminated();
    return 0;
}
