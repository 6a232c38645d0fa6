#include "app/flash_job.h"
#include "fakes.h"
#include "modem/image_header.h"
#include "modem/modem_types.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

// A first record of 75 characters whose positions 65 to 72 (data bytes 28 to
// 31: checksum low, checksum high, type, sector) hold `tail8`.
std::string first_record(const std::string& tail8)
{
    return ":20000000" + std::string(56, '0') + tail8 + "7F";
}

class ImageHeader : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/modem_header_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    void use_file(const std::string& content)
    {
        fs::path path = dir_ / "image.hex";
        std::ofstream(path, std::ios::binary) << content;
        std::snprintf(job.image_path, sizeof job.image_path, "%s", path.string().c_str());
    }

    // An earlier, valid header left in rx_buf: none of it may show through.
    static void leave_stale_header() { std::snprintf(job.rx_buf, sizeof job.rx_buf, "%s", first_record("CDAB5510").c_str()); }

    fakes::Doubles d;
    fs::path dir_;
};

constexpr int KEPT_CHECKSUM = 0x7777;

struct HeaderCase {
    const char* name;
    std::string content;
    int type;
    int sector;
    int checksum;
    const char* status;  // nullptr: no status line is set
};

TEST_F(ImageHeader, DecodesByFixedPositions)
{
    const HeaderCase cases[] = {
        {"isa_64", first_record("34124940") + "\n:00000001FF\n", MT_ISA, 64, 0x1234,
         "File is for ISA modem, sector size 0x40"},
        {"f_marks_no_rrfl", first_record("3412F9AB"), MT_UNKNOWN, 0, KEPT_CHECKSUM, nullptr},
        {"lower_f_is_no_marker", first_record("3412ffff"), MT_UNKNOWN, 918, 0x1234,
         "File is for unknown type modem, sector size 0x396"},
        {"letters_are_not_hex_in_sector", first_record("3412531A"), MT_SERIAL, 33, 0x1234,
         "File is for Serial modem, sector size 0x21"},
        {"valid_type_sector_00", first_record("34125500"), MT_USB, 0, KEPT_CHECKSUM, nullptr},
        {"empty_file", "", MT_UNKNOWN, -816, 0, "File is for unknown type modem, sector size 0xFFFFFCD0"},
        {"short_file_ends_before_sector", first_record("34124940").substr(0, 71), MT_ISA, -816, 0x1234,
         "File is for ISA modem, sector size 0xFFFFFCD0"},
        {"ctrl_z_ends_the_text", first_record("3412").substr(0, 69) + "\x1A" + "4940", MT_UNKNOWN, -816, 0x1234,
         "File is for unknown type modem, sector size 0xFFFFFCD0"},
        {"crlf_reads_as_one_character", "\r\n" + first_record("34124940").substr(1), MT_ISA, 64, 0x1234,
         "File is for ISA modem, sector size 0x40"},
        {"binary_bytes_count_signed", first_record("3412\xC9\x80" "40"), MT_UNKNOWN, 64, 0x1234,
         "File is for unknown type modem, sector size 0x40"},
    };
    for (const HeaderCase& c : cases) {
        SCOPED_TRACE(c.name);
        d.window.status_texts.clear();
        job.image_type = MT_PC_CARD;
        job.image_checksum = KEPT_CHECKSUM;
        job.str_out1[0] = '\0';
        leave_stale_header();
        use_file(c.content);

        EXPECT_TRUE(read_image_header());
        EXPECT_EQ(job.image_type, c.type);
        EXPECT_EQ(job.image_sector, c.sector);
        EXPECT_EQ(job.image_checksum, c.checksum);
        if (c.status) {
            EXPECT_STREQ(job.str_out1, c.status);
            ASSERT_EQ(d.window.status_texts.size(), 1u);
            EXPECT_EQ(d.window.status_texts[0], std::string(c.status) + "\n");
        } else {
            EXPECT_STREQ(job.str_out1, "");
            EXPECT_TRUE(d.window.status_texts.empty());
        }
        EXPECT_TRUE(d.window.boxes.empty());
    }
}

TEST_F(ImageHeader, UnopenableFileIsReportedAndChangesNothing)
{
    job.image_type = MT_USB;
    job.image_sector = 16;
    job.image_checksum = KEPT_CHECKSUM;
    std::snprintf(job.image_path, sizeof job.image_path, "%s", (dir_ / "missing.hex").string().c_str());

    EXPECT_FALSE(read_image_header());
    ASSERT_EQ(d.window.boxes.size(), 1u);
    EXPECT_EQ(d.window.boxes[0].text, "File open failed ");
    EXPECT_EQ(d.window.boxes[0].caption, "File Open Error...");
    EXPECT_EQ(d.window.boxes[0].flags, platform::mb::ICON_EXCLAMATION);
    EXPECT_EQ(job.image_type, MT_USB);
    EXPECT_EQ(job.image_sector, 16);
    EXPECT_EQ(job.image_checksum, KEPT_CHECKSUM);
}

TEST(Hex4, ReadsExactlyFourCharacters)
{
    struct {
        std::array<char, 4> text;  // no terminator: a fifth read would be out of bounds
        int value;
    } cases[] = {
        {{'1', 'A', '2', 'f'}, 0x1A2F},
        {{'0', '0', 'G', '0'}, 0x470},
        {{' ', '1', '2', '3'}, 0x20123},
        {{'\0', '\0', '\0', '\0'}, 0},
        {{'\0', 'a', '\0', 'B'}, 0x0A0B},
        {{'\xFF', '0', '0', '0'}, 0xFF000},
    };
    for (const auto& c : cases)
        EXPECT_EQ(hex4(c.text.data()), c.value) << std::string(c.text.data(), 4);
}

}  // namespace
