// The parts of the GTK front end that need no display: the command line,
// text made safe for GTK, and the open-file dialog's filters and choice.
#include "../sim/temp_dir.h"
#include "platform/gtk/command_line.h"
#include "platform/gtk/display_text.h"
#include "platform/gtk/file_choice.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

namespace {

struct CommandCase {
    std::vector<const char*> args;
    int com_port;
    bool simulate;
};

TEST(GtkCommandLine, FirstCharacterOfFirstPlainArgumentChoosesPort)
{
    const CommandCase cases[] = {
        {{}, 4, false},        {{"0"}, 4, false},           {{"2"}, 2, false},
        {{"12"}, 1, false},    {{"A"}, 1, false},           {{":"}, 10, false},
        {{"7", "3"}, 7, false}, {{"--simulate", "3"}, 3, true}, {{"--", "--x"}, 13, false},
    };
    for (const CommandCase& c : cases) {
        std::vector<const char*> argv{"flashloader"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        CommandLine line;
        std::string error;
        ASSERT_TRUE(parse_command_line(static_cast<int>(argv.size()), argv.data(), line, error)) << error;
        std::string shown = c.args.empty() ? "(none)" : c.args.back();
        EXPECT_EQ(first_com_port(line.port_text), c.com_port) << shown;
        EXPECT_EQ(line.simulate, c.simulate) << shown;
    }
}

TEST(GtkCommandLine, UnknownOptionIsRefused)
{
    const char* argv[] = {"flashloader", "--simulte"};
    CommandLine line;
    std::string error;
    EXPECT_FALSE(parse_command_line(2, argv, line, error));
    EXPECT_NE(error.find("--simulte"), std::string::npos);
}

TEST(GtkDisplayText, AnyBytesBecomePrintableUtf8)
{
    struct Case {
        const char* in;
        bool keep_line_feeds;
        const char* out;
    };
    const Case cases[] = {
        {"Found (ISA) Modem on COM4.\nTrying Comm 4 ", true, "Found (ISA) Modem on COM4.\nTrying Comm 4 "},
        {"two\nlines", false, "two.lines"},
        {"OK\r\n\x1b[2J\x07", true, "OK.\n.[2J."},
        {"caf\xc3\xa9", false, "caf\xc3\xa9"},  // UTF-8 stays
        {"caf\xe9", false, "caf\xc3\xa9"},      // a Latin-1 byte
        {"cut \xc3", false, "cut \xc3\x83"},    // a sequence cut short
        {"\x7f\x85", false, ".."},
    };
    for (const Case& c : cases) {
        std::string shown = display_text(c.in, c.keep_line_feeds);
        EXPECT_EQ(shown, c.out);
        EXPECT_TRUE(g_utf8_validate(shown.c_str(), -1, nullptr));
    }
    EXPECT_EQ(display_text(nullptr, true), "");
}

TEST(GtkFileFilters, PairsBecomeCaseBlindGlobs)
{
    const char pairs[] = "Hex files (*.hex)\0*.hex\0All files\0*.*\0Two\0*.a;*.b1\0";
    std::vector<FileFilterSpec> filters = parse_file_filters(pairs);
    ASSERT_EQ(filters.size(), 3u);
    EXPECT_EQ(filters[0].name, "Hex files (*.hex)");
    EXPECT_EQ(filters[0].globs, std::vector<std::string>{"*.[hH][eE][xX]"});
    EXPECT_EQ(filters[1].name, "All files");
    EXPECT_EQ(filters[1].globs, std::vector<std::string>{"*"});
    EXPECT_EQ(filters[2].globs, (std::vector<std::string>{"*.[aA]", "*.[bB]1"}));
}

TEST(GtkFileFilters, DescriptionWithoutPatternsEndsTheList)
{
    const char pairs[] = "Hex\0*.hex\0Lone\0\0";
    EXPECT_EQ(parse_file_filters(pairs).size(), 1u);
}

TEST(GtkFileChoice, TypedNameMeansAnExistingFile)
{
    TempDir dir;
    write_file(dir.file("image.hex"), ":00000001FF\n");
    write_file(dir.file("plain"), "x");
    write_file(dir.file("plain.hex"), "x");
    write_file(dir.file("only"), "x");
    std::filesystem::create_directory(dir.file("folder"));

    EXPECT_EQ(resolve_chosen_file(dir.file("image.hex"), "hex"), dir.file("image.hex"));
    EXPECT_EQ(resolve_chosen_file(dir.file("image"), "hex"), dir.file("image.hex"));
    EXPECT_EQ(resolve_chosen_file(dir.file("plain"), "hex"), dir.file("plain.hex"));
    EXPECT_EQ(resolve_chosen_file(dir.file("only"), "hex"), dir.file("only"));
    EXPECT_EQ(resolve_chosen_file(dir.file("image.bin"), "hex"), "");
    EXPECT_EQ(resolve_chosen_file(dir.file("missing"), "hex"), "");
    EXPECT_EQ(resolve_chosen_file(dir.file("folder"), nullptr), "");
    EXPECT_EQ(file_title_of(dir.file("image.hex")), "image.hex");
    EXPECT_EQ(file_title_of("bare.hex"), "bare.hex");
}

}  // namespace
