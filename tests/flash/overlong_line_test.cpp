#include "file_fixture.h"
#include "flash/overlong_line.h"
#include "flash/progress_percent.h"

#include <string>

namespace {

class OverlongLine : public FlashFileTest {};

TEST_F(OverlongLine, FindsTheFirstLineThatDoesNotFit)
{
    const std::string fits = ":" + std::string(120, 'a');
    struct Case {
        const char* name;
        std::string file;
        int max_chars;
        LineEnds ends;
        int result;
        int line;
    } cases[] = {
        {"121 characters fit the loader", fits + "\n" + fits, LOADER_LINE_MAX_CHARS, LINE_ENDS_LF, 0, 0},
        {"a cr lf end is one character", fits + "\r\n" + fits + "\r\n", LOADER_LINE_MAX_CHARS, LINE_ENDS_LF, 0, 0},
        {"122 on the third line", ":A\n\n" + fits + "b\n", LOADER_LINE_MAX_CHARS, LINE_ENDS_LF, 1, 3},
        {"last line without end", ":A\n" + fits + "b", LOADER_LINE_MAX_CHARS, LINE_ENDS_LF, 1, 2},
        {"lone cr belongs to a loader line", std::string(100, 'a') + "\r" + std::string(30, 'b') + "\n",
         IMAGE_LINE_MAX_CHARS, LINE_ENDS_LF, 1, 1},
        {"lone cr splits an image line", std::string(100, 'a') + "\r" + std::string(30, 'b') + "\n",
         IMAGE_LINE_MAX_CHARS, LINE_ENDS_LF_OR_CR, 0, 0},
        {"image lines counted as sent", "a\rb\r" + std::string(127, 'c'), IMAGE_LINE_MAX_CHARS, LINE_ENDS_LF_OR_CR,
         1, 3},
        {"126 characters fit the image", std::string(126, 'c') + "\n", IMAGE_LINE_MAX_CHARS, LINE_ENDS_LF_OR_CR, 0, 0},
        {"nothing counts behind ctrl-z", ":A\n\x1A" + std::string(200, 'c'), LOADER_LINE_MAX_CHARS, LINE_ENDS_LF, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int line = 0;
        EXPECT_EQ(find_overlong_line(write_file(c.file).c_str(), c.max_chars, c.ends, &line), c.result);
        EXPECT_EQ(line, c.line);
    }
}

TEST_F(OverlongLine, MissingFileIsNotReportedAsFitting)
{
    int line = 0;
    EXPECT_EQ(find_overlong_line(write_file("").append(".missing").c_str(), IMAGE_LINE_MAX_CHARS, LINE_ENDS_LF_OR_CR,
                                 &line),
              -1);
}

TEST(ProgressPercent, NeverDividesByZeroOrOverflows)
{
    struct Case {
        int done;
        int total;
        int percent;
    } cases[] = {
        {0, 0, 0},
        {500, 0, 0},
        {1, 3, 33},
        {30'000'000, 40'000'000, 75},  // done * 100 exceeds 32 bits
        {21'000'000, 21'000'000, 100},
    };
    for (const auto& c : cases) {
        job.progress_done = c.done;
        job.progress_total = c.total;
        EXPECT_EQ(progress_percent(), c.percent) << c.done << " of " << c.total;
    }
    reset_flash_job();
}

}  // namespace
