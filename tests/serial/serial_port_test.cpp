#include "app/flash_job.h"
#include "fakes.h"
#include "serial/serial_port.h"

#include <gtest/gtest.h>

#include <cstring>

using fakes::Doubles;

TEST(LogLine, WritesTheTextBetweenTwoLineFeeds)
{
    Doubles d;
    log_line("FLASH: hello");
    EXPECT_EQ(d.debug.outputs, (std::vector<std::string>{"\n", "FLASH: hello", "\n"}));
}

TEST(PortOpen, BuildsTheDeviceNameFromThePortCharacter)
{
    struct Case {
        int port;
        const char* name;
    } cases[] = {{1, "COM1"}, {4, "COM4"}, {9, "COM9"}, {10, "COM:"}, {15, "COM?"}};
    for (const auto& c : cases) {
        Doubles d;
        EXPECT_EQ(port_open_device(c.port), 0);
        EXPECT_EQ(d.modem.opened_names.back(), c.name);
        EXPECT_TRUE(job.port_open);
    }
}

TEST(PortOpen, FailureClearsPortOpenAndLogsNothing)
{
    Doubles d;
    job.port_open = true;
    d.modem.fail_open = true;
    EXPECT_EQ(port_open_device(3), -1);
    EXPECT_FALSE(job.port_open);
    EXPECT_TRUE(d.debug.outputs.empty());
    EXPECT_TRUE(d.window.boxes.empty());
}

TEST(PortConfigure, SetsOnlyTheSpeed)
{
    Doubles d;
    d.modem.initial = {19200, 7, 2, 2};
    ASSERT_EQ(port_open_device(2), 0);
    EXPECT_EQ(port_configure(2), 0);
    EXPECT_EQ(d.modem.applied.baud_rate, 115200u);
    EXPECT_EQ(d.modem.applied.byte_size, 7);
    EXPECT_EQ(d.modem.applied.parity, 2);
    EXPECT_EQ(d.modem.applied.stop_bits, 2);
    EXPECT_TRUE(job.port_open);
}

TEST(PortConfigure, ReadFailureReportsClosesAndLogsTheConfigurationText)
{
    Doubles d;
    d.modem.fail_get_settings = true;
    ASSERT_EQ(port_open_device(1), 0);
    EXPECT_EQ(port_configure(1), -1);
    ASSERT_EQ(d.window.boxes.size(), 1u);
    EXPECT_EQ(d.window.boxes[0].text, "GetCommState Error");
    EXPECT_EQ(d.window.boxes[0].caption, "Error...");
    EXPECT_EQ(d.window.boxes[0].flags, platform::mb::OK | platform::mb::ICON_EXCLAMATION);
    EXPECT_FALSE(job.port_open);
    EXPECT_EQ(d.modem.close_calls, 1);
    EXPECT_EQ(d.debug.lines(), std::vector<std::string>{"COM1:19200,n,8,1"});
}

TEST(PortConfigure, WriteFailureShowsPortAndSystemErrorWithoutLogging)
{
    Doubles d;
    d.modem.fail_set_settings = true;
    d.modem.set_settings_error = 31;
    ASSERT_EQ(port_open_device(3), 0);
    EXPECT_EQ(port_configure(3), -1);
    ASSERT_EQ(d.window.boxes.size(), 1u);
    EXPECT_EQ(d.window.boxes[0].text, "SetCommState error port = 3 error = 31");
    EXPECT_FALSE(job.port_open);
    EXPECT_TRUE(d.debug.outputs.empty());
}

TEST(PortRead, ReturnsOnlyWhatIsWaitingUpToTheMaximum)
{
    Doubles d;
    char buf[16] = {};
    EXPECT_EQ(port_read(buf, 10), 0);
    EXPECT_EQ(d.modem.read_calls, 0) << "an empty queue must not be read";

    d.modem.feed("ABCDEFGHIJ");
    EXPECT_EQ(port_read(buf, 4), 4);
    EXPECT_EQ(std::string(buf, 4), "ABCD");
    EXPECT_EQ(port_read(buf, 16), 6);
    EXPECT_EQ(std::string(buf, 6), "EFGHIJ");
}

TEST(PortRead, LogsErrorFlagsOtherThanAnOverrunAlone)
{
    struct Case {
        uint32_t flags;
        bool logged;
        const char* text;
    } cases[] = {
        {0x0002, false, ""},
        {0x0003, true, "comm error dwErrorFlags = 3\n"},
        {0x0008, true, "comm error dwErrorFlags = 8\n"},
    };
    for (const auto& c : cases) {
        Doubles d;
        char buf[4];
        d.modem.pending_error_flags = c.flags;
        port_read(buf, 4);
        if (c.logged)
            EXPECT_EQ(d.debug.lines(), std::vector<std::string>{c.text});
        else
            EXPECT_TRUE(d.debug.outputs.empty());
    }
}

TEST(PortRead, FailedReadYieldsZero)
{
    Doubles d;
    d.modem.feed("OK");
    d.modem.fail_reads = true;
    char buf[4];
    EXPECT_EQ(port_read(buf, 4), 0);
}

TEST(PortWrite, ReportsFailure)
{
    Doubles d;
    EXPECT_EQ(port_write("AT\r", 3), 0);
    d.modem.fail_writes = 1;
    EXPECT_EQ(port_write("AT\r", 3), -1);
    EXPECT_EQ(d.modem.writes.size(), 2u);
}

TEST(PortSettle, ClearsBreakAndPauses55ms)
{
    Doubles d;
    port_settle();
    EXPECT_EQ(d.modem.clear_break_calls, 1);
    EXPECT_EQ(d.clock.slept_ms, 55u);
}

TEST(PortSendImmediate, SendsOnlyWhileAPortIsOpen)
{
    Doubles d;
    port_send_immediate('Y');
    EXPECT_EQ(d.modem.immediate_chars, "");
    ASSERT_EQ(port_open_device(1), 0);
    port_send_immediate('Z');
    EXPECT_EQ(d.modem.immediate_chars, "Z");
    port_close();
    EXPECT_FALSE(job.port_open);
    port_send_immediate('Y');
    EXPECT_EQ(d.modem.immediate_chars, "Z");
}

TEST(CommRead, StoresIntoRxBufAtTheOffsetWithoutTerminating)
{
    Doubles d;
    std::memset(job.rx_buf, 'x', 16);
    d.modem.feed("OK");
    EXPECT_EQ(comm_read(5, 20), 2);
    EXPECT_EQ(std::string(job.rx_buf, 8), "xxxxxOKx");
    EXPECT_EQ(job.rx_count, 0);
}
