// The modemsim command line.
#include "sim/options.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

bool parse(std::vector<const char*> args, sim::SimOptions& options, std::string& error)
{
    args.insert(args.begin(), "modemsim");
    return sim::parse_options(static_cast<int>(args.size()), args.data(), options, error);
}

}  // namespace

TEST(SimOptions, FullServeCommandLine)
{
    sim::SimOptions o;
    std::string error;
    ASSERT_TRUE(parse({"--type", "U", "--resident", "10:bEeF", "--in-rrfl", "--rrfl-version", "Ver:4.3",
                       "--loader-version", "Ver:5.0", "--not-flashable", "--no-echo", "--erase-ms", "1500",
                       "--record-ms", "3", "--paced", "--fault", "silent@line=4", "--fault", "nok3@line=p0.5",
                       "--seed", "9", "--link", "/tmp/com1", "--flash-out", "f.bin", "--expect", "i.hex",
                       "--exit-after-job", "-v"},
                      o, error))
        << error;
    EXPECT_EQ(o.action, sim::SimAction::Serve);
    EXPECT_EQ(o.modem.type_letter, 'U');
    EXPECT_TRUE(o.modem.resident.present);
    EXPECT_EQ(o.modem.resident.sector, 0x10);
    EXPECT_EQ(o.modem.resident.checksum, 0xBEEF);
    EXPECT_TRUE(o.modem.start_in_rrfl);
    EXPECT_EQ(o.modem.rrfl_version, "Ver:4.3");
    EXPECT_EQ(o.modem.loader_version, "Ver:5.0");
    EXPECT_FALSE(o.modem.flashable);
    EXPECT_FALSE(o.modem.echo);
    EXPECT_EQ(o.modem.erase_ms, 1500u);
    EXPECT_EQ(o.modem.record_ms, 3u);
    EXPECT_EQ(o.modem.faults.size(), 2u);
    EXPECT_EQ(o.modem.seed, 9u);
    EXPECT_TRUE(o.paced);
    EXPECT_TRUE(o.exit_after_job);
    EXPECT_TRUE(o.verbose);
    EXPECT_EQ(o.link, "/tmp/com1");
    EXPECT_EQ(o.flash_out, "f.bin");
    EXPECT_EQ(o.expect, "i.hex");
}

TEST(SimOptions, DefaultsAndSampleFiles)
{
    sim::SimOptions o;
    std::string error;
    ASSERT_TRUE(parse({}, o, error));
    EXPECT_EQ(o.modem.type_letter, 'I');
    EXPECT_FALSE(o.modem.resident.present);
    EXPECT_EQ(o.modem.rrfl_version, "Ver:4.4");
    EXPECT_FALSE(o.modem.loader_version.has_value());
    EXPECT_TRUE(o.modem.flashable);
    EXPECT_TRUE(o.modem.echo);

    ASSERT_TRUE(parse({"--make-image", "x.hex", "--type", "S", "--sector", "10", "--checksum", "0042", "--size", "96"},
                      o, error));
    EXPECT_EQ(o.action, sim::SimAction::MakeImage);
    EXPECT_EQ(o.output_file, "x.hex");
    EXPECT_EQ(o.image.type_letter, 'S');
    EXPECT_EQ(o.image.sector, 0x10);
    EXPECT_EQ(o.image.checksum, 0x42);
    EXPECT_EQ(o.image.size, 96u);
}

TEST(SimOptions, RejectsWhatCannotBeServed)
{
    const std::vector<std::vector<const char*>> bad = {
        {"--bogus"},
        {"--type"},
        {"--type", "IS"},
        {"--type", "7"},
        {"--resident", "40"},
        {"--resident", "400:1A2B"},
        {"--resident", "40:12345"},
        {"--in-rrfl"},
        {"--erase-ms", "-1"},
        {"--fault", "nok9@line=1"},
        {"--size", "31"},
        {"--size", "1048577"},
        {"--rrfl-version", ""},
        {"extra"},
    };
    for (const auto& args : bad) {
        sim::SimOptions o;
        std::string error;
        EXPECT_FALSE(parse(args, o, error)) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
}
