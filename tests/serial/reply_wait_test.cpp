#include "app/flash_job.h"
#include "fakes.h"
#include "serial/reply_wait.h"

#include <gtest/gtest.h>

#include <cstring>

using fakes::Doubles;
using fakes::Piece;

namespace {
void start_polled_wait(Doubles& d)
{
    job.rx_count = 0;
    job.wait_start_tick = d.clock.now;
}
}  // namespace

TEST(WaitBlocking, MatchesOkInsideAnErrorReply)
{
    Doubles d;
    d.modem.feed("\r\nNOK3\r\n");
    EXPECT_EQ(wait_reply("OK", 1, 1), WAIT_MATCHED);
    EXPECT_STREQ(job.rx_buf, "\r\nNOK3\r\n");
}

TEST(WaitBlocking, LogsTheReplyOnlyWhenItHoldsAPrompt)
{
    Doubles d;
    d.modem.feed("Ver:4.4 >OK");
    EXPECT_EQ(wait_reply("OK", 1, 1), WAIT_MATCHED);
    EXPECT_EQ(d.debug.lines(), std::vector<std::string>{"Ver:4.4 >OK"});

    d.debug.clear();
    d.modem.feed("OK");
    EXPECT_EQ(wait_reply("OK", 1, 1), WAIT_MATCHED);
    EXPECT_TRUE(d.debug.outputs.empty());
}

TEST(WaitBlocking, SilenceTimesOutJustAfterTheLimitWithThreeLogLines)
{
    Doubles d;
    uint32_t start = d.clock.now;
    EXPECT_EQ(wait_reply("OK", 2, 1), WAIT_TIMEOUT);
    uint32_t waited = d.clock.now - start;
    EXPECT_GT(waited, 2000u);
    EXPECT_LT(waited, 2010u);
    EXPECT_EQ(d.debug.lines(), (std::vector<std::string>{"Characters Received = 0 ", "", "Flash Comm Read Failed"}));
    EXPECT_EQ(job.rx_count, 0);
}

TEST(WaitBlocking, AReplyArrivingExactlyAtTheLimitStillMatches)
{
    Doubles d;
    d.clock.step_ms = 0;  // time moves only through the wait itself
    d.modem.feed("OK", 1000);
    EXPECT_EQ(wait_reply("OK", 1, 1), WAIT_MATCHED);
    d.modem.feed("OK", 1002);
    EXPECT_EQ(wait_reply("OK", 1, 1), WAIT_TIMEOUT);
}

TEST(WaitBlocking, ExpectedTextSplitAcrossReads)
{
    Doubles d;
    d.modem.feed("AT\r\r\nO", 10);
    d.modem.feed("K\r\n", 300);
    EXPECT_EQ(wait_reply("OK", 1, 1), WAIT_MATCHED);
    EXPECT_STREQ(job.rx_buf, "AT\r\r\nOK\r\n");
}

TEST(WaitBlocking, LeftoversOpenTheNextBuffer)
{
    Doubles d;
    // 20-character reads: "OK" completes in the first read, the rest waits.
    d.modem.feed("OK\r\n0123456789ABCDEFGHIJKLMN");
    EXPECT_EQ(wait_reply("OK", 1, 1), WAIT_MATCHED);
    EXPECT_EQ(job.rx_count, 20);
    EXPECT_EQ(wait_reply("MN", 1, 1), WAIT_MATCHED);
    EXPECT_STREQ(job.rx_buf, "GHIJKLMN");
}

TEST(WaitBlocking, RestartsTheBufferAt4076Characters)
{
    Doubles d;
    // 4076 characters without the text: the read that reaches 4076 restarts
    // the buffer, so an "OK" at its very end is dropped with it.
    std::string flood(4074, 'x');
    d.modem.feed(flood + "OK");
    EXPECT_EQ(wait_reply("OK", 1, 1), WAIT_TIMEOUT);
    EXPECT_EQ(job.rx_count, 0);

    // An expected text after the restart is found in the fresh buffer.
    d.modem.feed(std::string(4080, 'x') + "OK");
    EXPECT_EQ(wait_reply("OK", 1, 1), WAIT_MATCHED);
    EXPECT_STREQ(job.rx_buf, "OK");
}

TEST(WaitBlocking, AnEndlessStreamStillTimesOut)
{
    Doubles d;
    d.modem.on_write = nullptr;
    for (int i = 0; i < 400; ++i)
        d.modem.feed(std::string(20, 'g'), static_cast<uint32_t>(i * 10));
    EXPECT_EQ(wait_reply("OK", 1, 1), WAIT_TIMEOUT);
}

TEST(WaitPolled, PendingWithoutInputLeavesTheBufferAlone)
{
    Doubles d;
    std::strcpy(job.rx_buf, "old OK");
    start_polled_wait(d);
    EXPECT_EQ(wait_reply("OK", 1, 0), WAIT_PENDING);
    EXPECT_STREQ(job.rx_buf, "old OK");
}

TEST(WaitPolled, MatchesAcrossPollsAndTimesOutWithItsOwnLogLine)
{
    Doubles d;
    start_polled_wait(d);
    d.modem.feed("O");
    EXPECT_EQ(wait_reply("OK", 1, 0), WAIT_PENDING);
    d.modem.feed("K");
    EXPECT_EQ(wait_reply("OK", 1, 0), WAIT_MATCHED);

    start_polled_wait(d);
    d.clock.advance(1001);
    EXPECT_EQ(wait_reply("OK", 1, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(d.debug.logged("FLASH: Chars Received = 0 "));
    EXPECT_TRUE(d.debug.logged("Flash Comm Read Failed"));
}

TEST(WaitPolled, AFloodNeverWritesPastTheBuffer)
{
    Doubles d;
    start_polled_wait(d);
    d.modem.feed(std::string(6000, 'g'));
    d.clock.step_ms = 0;
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(wait_reply("OK", 1, 0), WAIT_PENDING);
    EXPECT_EQ(job.rx_count, RX_BUF_SIZE - 1);
    EXPECT_EQ(job.rx_buf[RX_BUF_SIZE - 1], '\0');
    d.clock.advance(1001);
    EXPECT_EQ(wait_reply("OK", 1, 0), WAIT_TIMEOUT);
}
