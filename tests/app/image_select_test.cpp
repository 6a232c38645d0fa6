#include "app/flash_job.h"
#include "app/image_select.h"
#include "fakes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(ImageSelect, AsksForAnExistingHexFile)
{
    fakes::Doubles d;
    EXPECT_FALSE(choose_image_file());
    EXPECT_EQ(d.window.dialog_calls, 1);
    EXPECT_EQ(d.window.dialog_initial_file, "modem.hex");
    EXPECT_EQ(d.window.dialog_title, "Choose File to Download");
    EXPECT_EQ(d.window.dialog_filter, "Hex files (*.hex)|*.hex|All files|*.*|");
    EXPECT_EQ(d.window.dialog_filter_index, 1);
    EXPECT_EQ(d.window.dialog_default_extension, "hex");
    EXPECT_TRUE(d.window.dialog_file_must_exist);
    EXPECT_TRUE(d.window.dialog_hide_read_only);
    // Cancelled: the proposed name stays, the caption is not touched.
    EXPECT_STREQ(job.image_path, "modem.hex");
    EXPECT_TRUE(d.window.captions.empty());
}

TEST(ImageSelect, CaptionNamesFilesOfUpTo39Characters)
{
    struct Case {
        size_t title_length;
        bool captioned;
    } cases[] = {{9, true}, {39, true}, {40, false}, {255, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title_length);
        fakes::Doubles d;
        std::string title(c.title_length, 'n');
        std::string path = "/images/" + title;
        d.window.dialog_result = true;
        d.window.dialog_path = path;
        d.window.dialog_file_title = title;
        EXPECT_TRUE(choose_image_file());
        EXPECT_EQ(std::string(job.image_path), path.substr(0, IMAGE_PATH_SIZE - 1));
        if (c.captioned)
            EXPECT_EQ(d.window.captions, std::vector<std::string>{"Flash - " + title});
        else
            EXPECT_TRUE(d.window.captions.empty());
    }
}
