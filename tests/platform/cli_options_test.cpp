#include "platform/cli/cli_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Parsed {
    bool ok;
    CliOptions options;
    std::string error;
};

Parsed parse(std::vector<std::string> args)
{
    args.insert(args.begin(), "flashloader-cli");
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    Parsed parsed;
    parsed.ok = parse_cli_options(static_cast<int>(args.size()), argv.data(), parsed.options, parsed.error);
    return parsed;
}

TEST(CliOptions, AcceptsEachOptionInShortAndLongForm)
{
    Parsed p = parse({"-p", "2", "-y", "-v", "image.hex"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.port, 2);
    EXPECT_EQ(p.options.answers, AnswerMode::Yes);
    EXPECT_TRUE(p.options.verbose);
    EXPECT_EQ(p.options.image, "image.hex");

    p = parse({"image.hex", "--port=15", "--no"});  // options after IMAGE count too
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.port, 15);
    EXPECT_EQ(p.options.answers, AnswerMode::No);

    p = parse({"--device", "/dev/ttyUSB0"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.device, "/dev/ttyUSB0");
    EXPECT_EQ(p.options.port, 0);
    EXPECT_TRUE(p.options.image.empty());

    p = parse({"--simulate"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_TRUE(p.options.simulate);
    EXPECT_EQ(p.options.answers, AnswerMode::Ask);
}

TEST(CliOptions, RefusesWhatCannotBeMeant)
{
    struct Case {
        std::vector<std::string> args;
        const char* error;
    } cases[] = {
        {{"-p", "0"}, "invalid port '0': give a number from 1 to 15"},
        {{"-p", "16"}, "invalid port '16': give a number from 1 to 15"},
        {{"--port", "4x"}, "invalid port '4x': give a number from 1 to 15"},
        {{"-p"}, "option '-p' needs a value"},
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"a.hex", "b.hex"}, "only one IMAGE may be given, not also 'b.hex'"},
        {{"-y", "-n"}, "--yes and --no exclude each other"},
        {{"-d", "/dev/ttyS0", "-p", "3"}, "--device probes one device: it takes no --port"},
        {{"--simulate", "a.hex"}, "--simulate makes its own modem and image: it takes no --port, --device or IMAGE"},
    };
    for (const Case& c : cases) {
        Parsed p = parse(c.args);
        EXPECT_FALSE(p.ok) << c.error;
        EXPECT_EQ(p.error, c.error);
    }
}

}  // namespace
