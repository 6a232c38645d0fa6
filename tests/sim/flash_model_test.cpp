// The flash model: NOR semantics, and images programmed through the modem
// checked against an independent Intel HEX tool (srec_cat).
#include "modem_rig.h"
#include "sim/hex_image.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

using sim::FlashMemory;

namespace {

std::string random_binary(size_t size, uint32_t seed)
{
    std::mt19937 rng(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(rng());
    return bytes;
}

void srec_cat(const std::string& arguments)
{
    std::string command = "srec_cat " + arguments + " 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command << " (srecord is installed by scripts/install-deps.sh)";
}

// Streams a HEX text into a modem's resident loader, as the flasher would.
std::string program_through_modem(ModemRig& rig, const std::string& hex_text)
{
    rig.say("AT&&FGO\r");
    return rig.stream_image(hex_text);
}

}  // namespace

TEST(NorFlash, ProgrammingOnlyClearsBitsAndCountsBytesThatReadBackWrong)
{
    FlashMemory flash;
    const uint8_t value = 0x5A;
    EXPECT_EQ(flash.program(0x100, &value, 1), 1u);  // never erased: the old 0x00 stays
    EXPECT_EQ(flash.at(0x100), 0x00);

    flash.erase();
    EXPECT_EQ(flash.at(0x100), 0xFF);
    EXPECT_EQ(flash.bad_bytes(), 0u);
    const uint8_t first[] = {0xF0, 0x00, 0x5A};
    const uint8_t second[] = {0x0F, 0x00, 0x5A};
    EXPECT_EQ(flash.program(0x10, first, 3), 0u);
    EXPECT_EQ(flash.program(0x10, second, 3), 1u);  // 0xF0 then 0x0F: only 0x00 is left
    EXPECT_EQ(flash.at(0x10), 0x00);
    EXPECT_EQ(flash.at(0x12), 0x5A);
    EXPECT_EQ(flash.bad_bytes(), 1u);
    EXPECT_EQ(flash.written_end(), 0x13u);
}

TEST(NorFlash, BinaryRunsFromZeroToTheLastProgrammedByte)
{
    TempDir dir;
    FlashMemory flash;
    flash.erase();
    const uint8_t data[] = {0x12, 0x34};
    flash.program(4, data, 2);
    std::string error;
    ASSERT_TRUE(flash.write_binary(dir.file("out.bin"), error)) << error;
    EXPECT_EQ(read_file(dir.file("out.bin")), std::string("\xFF\xFF\xFF\xFF\x12\x34", 6));
}

TEST(NorFlash, ImageComparisonNeedsACompleteExactImage)
{
    sim::HexImage image;
    std::string error;
    ASSERT_TRUE(sim::parse_hex_image(":0400100001020304E2\r\n:00000001FF\r\n", image, error)) << error;
    const uint8_t data[] = {1, 2, 3, 4};
    const uint8_t stray = 0x00;

    struct Case {
        const char* name;
        bool complete;
        bool stray_byte;
        uint8_t last;
        bool equal;
        const char* message_part;
    };
    const Case cases[] = {
        {"equal", true, false, 4, true, "equals the image (4 bytes)"},
        {"not complete", false, false, 4, false, "never completely programmed"},
        {"byte differs", true, false, 5, false, "first at 0x00013: 0x05, expected 0x04"},
        {"byte outside", true, true, 4, false, "first at 0x00000: 0x00, outside the image"},
    };
    for (const Case& c : cases) {
        FlashMemory flash;
        flash.erase();
        uint8_t bytes[4] = {data[0], data[1], data[2], c.last};
        flash.program(0x10, bytes, 4);
        if (c.stray_byte)
            flash.program(0, &stray, 1);
        if (c.complete)
            flash.mark_complete();
        std::string message;
        EXPECT_EQ(sim::flash_matches_image(flash, image, message), c.equal) << c.name;
        EXPECT_NE(message.find(c.message_part), std::string::npos) << c.name << ": " << message;
    }
}

TEST(FlashThroughModem, ImageMadeBySrecCatFromABinaryProgramsThatBinary)
{
    TempDir dir;
    const std::string binary = random_binary(70000, 7);  // beyond 64 KiB: linear address records
    write_file(dir.file("in.bin"), binary);
    srec_cat(dir.file("in.bin") + " -binary -o " + dir.file("in.hex") + " -intel -obs=32");

    ModemRig rig(resident_modem());
    std::string hex = read_file(dir.file("in.hex"));
    std::string answers = program_through_modem(rig, hex);
    EXPECT_EQ(answers.find("NOK"), std::string::npos);
    ASSERT_TRUE(rig.modem.flash().complete());

    std::string error;
    ASSERT_TRUE(rig.modem.flash().write_binary(dir.file("out.bin"), error)) << error;
    EXPECT_TRUE(read_file(dir.file("out.bin")) == binary);

    sim::HexImage image;
    ASSERT_TRUE(sim::parse_hex_image(hex, image, error)) << error;
    std::string message;
    EXPECT_TRUE(sim::flash_matches_image(rig.modem.flash(), image, message)) << message;
}

TEST(FlashThroughModem, SampleImageDecodesAsSrecCatReadsIt)
{
    TempDir dir;
    sim::ImageSpec spec;
    spec.size = 70000;  // with a segment address record at 64 KiB
    std::string hex = sim::make_image_text(spec);
    write_file(dir.file("image.hex"), hex);
    srec_cat(dir.file("image.hex") + " -intel -o " + dir.file("image.bin") + " -binary");

    ModemRig rig(resident_modem());
    program_through_modem(rig, hex);
    ASSERT_TRUE(rig.modem.flash().complete());
    std::string error;
    ASSERT_TRUE(rig.modem.flash().write_binary(dir.file("out.bin"), error)) << error;
    std::string expected = read_file(dir.file("image.bin"));
    EXPECT_EQ(expected.size(), 70000u);
    EXPECT_TRUE(read_file(dir.file("out.bin")) == expected);
}
