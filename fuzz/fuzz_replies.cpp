// Reply handling over arbitrary modem output: the wait for an answer
// (blocking or polled) over bytes arriving in input-chosen pieces and at
// input-chosen times, then everything that reads the reply left in rx_buf.
#include "fakes.h"
#include "fuzz_support.h"

#include "app/flash_job.h"
#include "flash/nok_handling.h"
#include "modem/load_compat.h"
#include "modem/modem_types.h"
#include "serial/reply_wait.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <string>

namespace {

// What the program waits for at one point or another.
const char* const EXPECTED[] = {"OK", "RRFL", "Ver:", "NOK", ">", "\r\n"};

constexpr int ANSWERS[] = {platform::mb::ANSWER_OK, platform::mb::ANSWER_YES, platform::mb::ANSWER_NO,
                           platform::mb::ANSWER_CANCEL};

void check_rx_buf()
{
    FUZZ_CHECK(job.rx_count >= 0 && job.rx_count < RX_BUF_SIZE);
    FUZZ_CHECK(job.rx_buf[job.rx_count] == '\0');
}

int wait(const char* expected, int timeout_s, bool blocking)
{
    if (blocking)
        return wait_reply(expected, timeout_s, 1);
    job.rx_count = 0;
    job.rx_buf[0] = '\0';
    job.wait_start_tick = platform::tick_ms();
    // Each poll reads at most one block, and the time-out ends the wait:
    // far more polls than that mean the wait never ends.
    const int max_polls = 4 * (RX_BUF_SIZE + timeout_s * 1000 + 2);
    for (int poll = 0; poll < max_polls; ++poll) {
        int result = wait_reply(expected, timeout_s, 0);
        check_rx_buf();
        if (result != WAIT_PENDING)
            return result;
    }
    fuzz_check_failed("the polled wait ends", __FILE__, __LINE__);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    fakes::Doubles d;

    const bool blocking = in.ConsumeBool();
    const char* expected = in.PickValueInArray(EXPECTED);
    const int timeout_s = in.ConsumeIntegralInRange(0, 3);
    job.image_type = in.ConsumeIntegralInRange(0, 5);
    const bool in_rrfl = in.ConsumeBool();
    for (int i = 0; i < 4; ++i)
        d.window.answers.push_back(in.PickValueInArray(ANSWERS));
    // Whatever the modem answers to the restart request.
    d.modem.on_transmit_char = [&d](char) { d.modem.feed("Ver:4.4\r\nOK\r\n", 10); };

    uint32_t at_ms = 0;
    while (in.remaining_bytes() > 0) {
        at_ms += in.ConsumeIntegralInRange<uint32_t>(0, 1500);
        // A serial line never delivers zero bytes as an arrival.
        std::string piece = in.ConsumeRandomLengthString(600);
        if (!piece.empty())
            d.modem.feed(piece, at_ms);
    }

    int result = wait(expected, timeout_s, blocking);
    FUZZ_CHECK(result == WAIT_MATCHED || result == WAIT_TIMEOUT);
    check_rx_buf();
    if (result == WAIT_MATCHED)
        FUZZ_CHECK(std::strstr(job.rx_buf, expected));

    // Everything below reads the reply; none of it may write past rx_buf's end.
    identify_modem();
    FUZZ_CHECK(job.modem_type >= MT_UNKNOWN && job.modem_type <= MT_PC_CARD);
    FUZZ_CHECK(std::strcmp(modem_type_name(job.modem_type), "") != 0);
    read_resident_load(RESLOAD_RRFL);
    ldsAreCompat();
    build_incompat_report(in_rrfl);
    check_job_texts_terminated();
    read_resident_load(RESLOAD_FFL);
    if (ldsAreCompat())
        FUZZ_CHECK(job.modem_checksum != MODEM_CHECKSUM_MISSING);
    build_incompat_report(!in_rrfl);
    check_job_texts_terminated();

    char reply[RX_BUF_SIZE];
    std::memcpy(reply, job.rx_buf, sizeof reply);
    handle_nok(reply);
    check_rx_buf();
    check_job_texts_terminated();
    return 0;
}
