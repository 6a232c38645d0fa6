// Pacing at line speed, against a hand-moved clock.
#include "sim/line_pacer.h"
#include "sim/modem.h"

#include <gtest/gtest.h>

TEST(LinePacer, CarriesElevenThousandFiveHundredTwentyCharactersASecond)
{
    sim::LinePacer pacer(sim::LINE_CHARS_PER_SECOND);
    pacer.spend(pacer.available(1000));  // start with no credit saved up
    size_t carried = 0;
    for (uint64_t now = 1001; now <= 2000; ++now) {
        size_t n = pacer.available(now);
        pacer.spend(n);
        carried += n;
    }
    EXPECT_EQ(carried, 11520u);
}

TEST(LinePacer, SavesUpNoMoreThanASmallBurstWhileIdle)
{
    sim::LinePacer pacer(sim::LINE_CHARS_PER_SECOND, 64);
    EXPECT_EQ(pacer.available(10000), 64u);
    pacer.spend(60);
    EXPECT_EQ(pacer.available(10000), 4u);
    EXPECT_EQ(pacer.available(10001), 15u);  // 4 + 11.52
}
