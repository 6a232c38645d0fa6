// Intel HEX record decoding, composing and addressing.
#include "sim/hex_image.h"
#include "sim/intel_hex.h"
#include "sim/sample_files.h"

#include <gtest/gtest.h>

using sim::HexError;

TEST(HexRecords, ParseAcceptsExactRecordsOnly)
{
    struct Case {
        const char* line;
        HexError result;
    };
    const Case cases[] = {
        {":0400100001020304E2", HexError::None},
        {":0400100001020304e2", HexError::None},
        {"0400100001020304E2", HexError::NoColon},
        {"", HexError::NoColon},
        {":04001000010203 4E2", HexError::BadCharacter},
        {":0400100001020304E2\r", HexError::BadCharacter},
        {":0400100001020304E", HexError::BadLength},
        {":0500100001020304E1", HexError::BadLength},  // fewer bytes than its count
        {":00000001", HexError::BadLength},
        {":0400100001020304E3", HexError::BadChecksum},
        {":00000006FA", HexError::BadType},
        {":0100000100FE", HexError::BadType},  // an end record with data
    };
    for (const Case& c : cases) {
        sim::HexRecord record;
        EXPECT_EQ(sim::parse_hex_record(c.line, record), c.result) << c.line;
    }
}

TEST(HexRecords, FormatAndParseAgree)
{
    const uint8_t segment[] = {0x10, 0x00};
    EXPECT_EQ(sim::format_hex_record(sim::HEX_SEGMENT_ADDRESS, 0, segment, 2), ":020000021000EC");
    EXPECT_EQ(sim::format_hex_record(sim::HEX_END_OF_FILE, 0, nullptr, 0), ":00000001FF");

    sim::HexRecord record;
    ASSERT_EQ(sim::parse_hex_record(":0400100001020304E2", record), HexError::None);
    EXPECT_EQ(record.type, sim::HEX_DATA);
    EXPECT_EQ(record.offset, 0x10);
    EXPECT_EQ(record.data, (std::vector<uint8_t>{1, 2, 3, 4}));
}

TEST(HexRecords, SegmentAndLinearAddressesSetTheBase)
{
    sim::HexImage image;
    std::string error;
    ASSERT_TRUE(sim::parse_hex_image(":020000021000EC\n:0100200011CE\n:020000040001F9\n:0100300022AD\n:00000001FF\n"
                                     ":01004000338C\n",
                                     image, error))
        << error;
    EXPECT_EQ(image.bytes[0x10020], 0x11);
    EXPECT_EQ(image.bytes[0x10030], 0x22);
    EXPECT_FALSE(image.defined[0x40]);  // nothing after the end record counts
    EXPECT_EQ(image.defined_count, 2u);

    EXPECT_FALSE(sim::parse_hex_image(":020000040010EA\n:0100000011EE\n", image, error));
    EXPECT_EQ(error, "line 2: data beyond the flash at 0x100000");
    EXPECT_FALSE(sim::parse_hex_image(":0100000011EE\n\n:0100000011EF\n", image, error));
    EXPECT_EQ(error, "line 3: wrong checksum");
}

TEST(SampleFiles, ImageHeaderStandsWhereTheFlasherReadsIt)
{
    sim::ImageSpec spec;
    spec.type_letter = 'S';
    spec.sector = 0x10;
    spec.checksum = 0x1234;
    spec.size = 100;
    std::string text = sim::make_image_text(spec);
    std::string first = text.substr(0, text.find('\n'));
    ASSERT_EQ(first.size(), 75u);
    EXPECT_EQ(first.substr(0, 9), ":20000000");
    // Data bytes 28-31: checksum low and high byte, type letter code, sector size.
    EXPECT_EQ(first.substr(65, 8), "34125310");

    // Records of 32 bytes and a last short one, each valid, then the end record.
    sim::HexImage image;
    std::string error;
    ASSERT_TRUE(sim::parse_hex_image(text, image, error)) << error;
    EXPECT_EQ(image.defined_count, 100u);
    EXPECT_EQ(text.substr(text.size() - 12), ":00000001FF\n");
    EXPECT_NE(text.find("\n:04006000"), std::string::npos);
}

TEST(SampleFiles, LoaderIsValidAndCarriesItsVersion)
{
    std::string text = sim::make_loader_text("Ver:4.3");
    sim::HexImage image;
    std::string error;
    ASSERT_TRUE(sim::parse_hex_image(text, image, error)) << error;
    std::string code(image.bytes.begin(), image.bytes.begin() + image.defined_count);
    EXPECT_NE(code.find(std::string("Ver:4.3\0", 8)), std::string::npos);
    // Every line fits the flasher's loader line: at most 121 characters.
    for (size_t start = 0, end; start < text.size(); start = end + 1) {
        end = text.find('\n', start);
        EXPECT_LE(end - start, 121u);
    }
}
