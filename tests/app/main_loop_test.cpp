// Start-up, the close handling by state, and the main loop's dispatching and
// idling.
#include "app/bounded_text.h"
#include "app/job_step.h"
#include "app/main_loop.h"
#include "app_fixture.h"

#include <string>
#include <vector>

using apptest::AppTest;
using platform::WindowEvent;
namespace mb = platform::mb;

namespace {

class MainLoop : public AppTest {
protected:
    void open_port()
    {
        d.modem.open("COM4");
        job.port_open = true;
    }
};

TEST_F(MainLoop, StartTakesThePortFromTheFirstCharacter)
{
    struct Case {
        const char* command_line;
        int com_port;      // after start_job
        int first_probed;  // after ST_INIT
    } cases[] = {
        {nullptr, 0, 4}, {"", 0, 4}, {"0", 0, 4}, {"12", 1, 1}, {"A", 1, 1}, {":", 10, 10}, {"3 x", 3, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command_line ? c.command_line : "(none)");
        fresh();
        d.clock.now = 5000;
        job.job_state = ST_AWAIT_ACK;
        start_job(c.command_line);
        EXPECT_EQ(job.start_tick, 5000u);
        EXPECT_EQ(job.job_state, ST_INIT);
        EXPECT_EQ(job.com_port, c.com_port);
        job_step();
        EXPECT_EQ(job.com_port, c.first_probed);
    }
}

TEST_F(MainLoop, CloseAsksOnlyWhileTheImageIsWritten)
{
    struct Case {
        int state;
        int answer;  // 0: no question expected
        int state_after;
        bool destroyed;
    } cases[] = {
        {ST_OPEN_IMAGE, mb::ANSWER_YES, ST_TEARDOWN, false},
        {ST_SEND_LINE, mb::ANSWER_YES, ST_TEARDOWN, false},
        {ST_AWAIT_ACK, mb::ANSWER_YES, ST_TEARDOWN, false},
        {ST_AWAIT_ACK, mb::ANSWER_NO, ST_AWAIT_ACK, false},
        {ST_SEND_LINE, mb::ANSWER_CANCEL, ST_SEND_LINE, false},
        {ST_PROBE_PORT, 0, ST_PROBE_PORT, true},
        {ST_DOWNLOAD_LOADER, 0, ST_DOWNLOAD_LOADER, true},
        {ST_DONE, 0, ST_DONE, true},
        {ST_TEARDOWN, 0, ST_TEARDOWN, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.state);
        fresh();
        start_job("");
        open_port();
        job.job_state = c.state;
        if (c.answer)
            d.window.answers.push_back(c.answer);
        handle_close_request();
        EXPECT_EQ(job.job_state, c.state_after);
        if (c.answer) {
            ASSERT_EQ(d.window.boxes.size(), 1u);
            EXPECT_EQ(d.window.boxes[0].text, "Are you Sure you want to Kill the Flash Loader?");
            EXPECT_EQ(d.window.boxes[0].caption, "You May Have Cooked the Flash Chip!");
            EXPECT_EQ(d.window.boxes[0].flags, mb::YESNO);
        } else {
            EXPECT_TRUE(d.window.boxes.empty());
        }
        EXPECT_EQ(d.window.destroy_calls, c.destroyed ? 1 : 0);
        EXPECT_EQ(job.port_open, !c.destroyed);
        EXPECT_TRUE(d.modem.immediate_chars.empty()) << "no teardown on a direct close";
    }
}

TEST_F(MainLoop, EndsAfterTheExitState)
{
    start_job("");
    open_port();
    job.job_state = ST_TEARDOWN;
    EXPECT_EQ(run_main_loop(), 0);
    EXPECT_EQ(d.modem.immediate_chars, "Y");
    EXPECT_EQ(d.window.destroy_calls, 1);
    EXPECT_FALSE(job.port_open);
    EXPECT_EQ(d.debug.count("FLASH: NULL"), 1) << "no step after the window is gone";
}

TEST_F(MainLoop, DispatchesEventsBeforeSteps)
{
    struct Case {
        std::vector<WindowEvent> events;
        int destroy_calls;  // by the core
    } cases[] = {
        {{WindowEvent::Other, WindowEvent::CloseRequested}, 1},
        {{WindowEvent::Destroyed}, 0},
        {{WindowEvent::Quit}, 0},
    };
    for (const auto& c : cases) {
        fresh();
        start_job("");
        open_port();
        job.job_state = ST_PROBE_PORT;
        d.window.events.assign(c.events.begin(), c.events.end());
        EXPECT_EQ(run_main_loop(), 0);
        EXPECT_TRUE(d.window.events.empty());
        EXPECT_FALSE(d.debug.logged("Trying Comm 4 ")) << "the loop ended before any step";
        EXPECT_EQ(d.window.destroy_calls, c.destroy_calls);
        EXPECT_FALSE(job.port_open);
        EXPECT_EQ(d.modem.close_calls, 1);
    }
}

TEST_F(MainLoop, SleepsWhileTheModemErasesAndWakesAtItsAnswer)
{
    apptest::ModemScript s;
    s.erase_ms = 5000;
    serve(s);
    watch_modem();
    std::vector<uint32_t> ticks;
    auto answer = d.modem.on_write;
    d.modem.on_write = [&](const std::string& w) {
        ticks.push_back(d.clock.now);
        answer(w);
    };
    open_port();
    std::string image = apptest::sample_image('I', 1);
    copy_text(job.image_path, write_file("modem.hex", image).c_str());
    start_job("");
    job.job_state = ST_OPEN_IMAGE;
    EXPECT_EQ(run_main_loop(), 0);
    EXPECT_TRUE(job_succeeded());
    // One sleep for the erase, on the modem's descriptor, and the second line
    // follows within milliseconds of the first answer.
    EXPECT_EQ(d.window.idle_wait_calls, 1);
    EXPECT_EQ(d.window.idle_serial_fds, std::vector<int>{3});
    ASSERT_GE(ticks.size(), 2u);
    EXPECT_GE(ticks[1] - ticks[0], 5000u);
    EXPECT_LT(ticks[1] - ticks[0], 5005u);
}

TEST_F(MainLoop, AFullReplyBufferSleepsUntilTheDeadlineOnly)
{
    open_port();
    job.job_state = ST_AWAIT_ACK;
    job.reply_timeout_s = 1;
    job.wait_start_tick = d.clock.now;
    job.rx_count = RX_BUF_SIZE - 1;
    d.modem.feed("more garbage");
    job_step();
    EXPECT_EQ(job.job_state, ST_AWAIT_ACK);
    JobIdle idle = job_idle();
    EXPECT_FALSE(idle.watch_serial);
    EXPECT_GT(idle.ms, 995u);
    EXPECT_LE(idle.ms, 1001u);

    job.rx_count = 0;
    job_step();  // reads the garbage; no match yet
    EXPECT_TRUE(job_idle().watch_serial);
}

TEST_F(MainLoop, NoIdleOutsideTheAcknowledgementWait)
{
    job.job_state = ST_INIT;
    job_step();
    EXPECT_EQ(job_idle().ms, 0u);
}

}  // namespace
