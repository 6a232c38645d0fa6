// The flashloader command line: the first character of the first plain
// argument chooses the first COM port (its low four bits); arguments that
// begin with "--" are options.
#pragma once

#include <string>

struct CommandLine {
    bool simulate = false;
    bool help = false;
    bool version = false;
    std::string port_text;  // the plain argument handed to the core, "" when none
};

// False with a message in `error` for an unknown option.
bool parse_command_line(int argc, const char* const* argv, CommandLine& line, std::string& error);

// The COM port the job tries first: the low four bits of the first
// character, 4 when they are 0 or no argument was given.
int first_com_port(const std::string& port_text);

const char* usage_text();
