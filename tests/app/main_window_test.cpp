#include "app/bounded_text.h"
#include "app/flash_job.h"
#include "app/main_window.h"
#include "fakes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(RefreshDisplay, JoinsTheLinesUpTo200Characters)
{
    struct Case {
        size_t first, second;
        bool fits;
    } cases[] = {{120, 79, true}, {120, 80, false}, {0, 0, true}, {223, 223, false}};
    for (const auto& c : cases) {
        fakes::Doubles d;
        std::string one(c.first, 'a');
        std::string two(c.second, 'b');
        copy_text(job.str_out1, one.c_str());
        copy_text(job.str_out2, two.c_str());
        refresh_display();
        ASSERT_EQ(d.window.status_texts.size(), 1u);
        EXPECT_EQ(d.window.status_texts[0],
                  c.fits ? one + "\n" + two : "ERROR:  Can't handle str_out1, str_out2, too big!");
    }
}

TEST(RefreshDisplay, SetsTheProgressOnlyWhenItChanged)
{
    fakes::Doubles d;
    job.progress_total = 400;
    refresh_display();  // nothing sent yet
    job.progress_done = 200;
    refresh_display();
    refresh_display();  // unchanged
    job.progress_done = 399;
    refresh_display();
    EXPECT_EQ(d.window.progress_positions, (std::vector<int>{50, 99}));
    EXPECT_EQ(d.window.status_texts.size(), 4u) << "the text is set every time";

    job.progress_total = 0;  // size unknown
    job.progress_done = 10;
    refresh_display();
    EXPECT_EQ(d.window.progress_positions.back(), 0);
}
