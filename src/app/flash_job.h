// The one job record of the program: everything the flash job remembers
// between two steps of the state machine.
#pragma once

#include <cstdint>

struct TextFile;

// Job states. Fixed numbers: the close handling tests the range 6 to 8.
enum JobState : int {
    ST_INIT = 0,
    // 1 is not used
    ST_SELECT_IMAGE = 2,
    ST_PROBE_PORT = 3,
    ST_DOWNLOAD_LOADER = 4,
    ST_OPEN_LOADER = 5,
    ST_OPEN_IMAGE = 6,
    ST_SEND_LINE = 7,
    ST_AWAIT_ACK = 8,
    ST_NOT_RESPONDING = 9,
    ST_CHECK_RRFL_VERSION = 10,
    ST_FLASH_ERROR = 11,
    ST_DONE = 12,
    ST_TEARDOWN = 13,
    ST_EXIT = 14,
};

constexpr int RX_BUF_SIZE = 4100;
constexpr int MSG_BUF_SIZE = 201;
constexpr int DETAIL_BUF_SIZE = 100;
constexpr int IMAGE_PATH_SIZE = 256;
constexpr int STATUS_LINE_SIZE = 224;
constexpr int LINE_BUF_SIZE = 128;

struct FlashJob {
    // Job control
    int32_t job_state;
    uint32_t start_tick;
    int32_t com_port;
    bool port_open;
    int32_t probe_result;

    // Reply reception
    char rx_buf[RX_BUF_SIZE];
    int32_t rx_count;
    uint32_t wait_start_tick;

    // Scratch text
    char msg_buf[MSG_BUF_SIZE];
    char detail_buf[DETAIL_BUF_SIZE];

    // Image and modem description
    char image_path[IMAGE_PATH_SIZE];
    int32_t image_type;
    int32_t image_sector;
    int32_t image_checksum;
    int32_t modem_type;
    int32_t types_match;
    int32_t modem_sector;
    int32_t modem_checksum;

    // Status display
    char str_out1[STATUS_LINE_SIZE];
    char str_out2[STATUS_LINE_SIZE];
    int32_t progress_done;
    int32_t progress_total;
    int32_t progress_shown;

    // Line transfer
    TextFile* cur_file;
    char line_buf[LINE_BUF_SIZE];
    int32_t line_len;
    int32_t lines_sent;
    int32_t read_next_line;
    int32_t reply_timeout_s;
    int32_t retry_count;
    // Sends of the current image line whose answer is still owed besides the
    // latest one (one per time-out resend), and whether the line's "OK" has
    // come: a late answer must not be charged to the next line.
    int32_t answers_owed;
    int32_t line_acknowledged;
    int32_t image_eof;
    uint8_t addr_high;
    uint16_t addr_low;

    // Outcome: 1 once ST_DONE has reported success, so a front end can tell
    // success from failure after the main loop has ended.
    int32_t job_succeeded;
};

// The program-wide instance, zero at start.
extern FlashJob job;

// Back to the all-zero start (tests use it between cases). Does not close
// cur_file: the caller owns that.
void reset_flash_job();
