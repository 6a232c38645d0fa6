// The command line of flashloader-cli.
#pragma once

#include "platform/cli/terminal_window.h"

#include <cstdio>
#include <string>

// Exit status of the program.
enum ExitStatus : int {
    EXIT_FLASHED = 0,     // the job reached its success state
    EXIT_FAILED = 1,      // the job failed
    EXIT_USAGE = 2,       // the command line was wrong
    EXIT_USER_STOPPED = 3 // cancelled file choice, declined probe question, closed by the user
};

struct CliOptions {
    int port = 0;          // first COM port; 0: the job's default (4)
    std::string device;    // probe just this device, as COM1
    AnswerMode answers = AnswerMode::Ask;
    bool verbose = false;
    bool simulate = false;
    bool help = false;
    bool version = false;
    bool list_ports = false;
    std::string image;
};

// False with a message when the command line is not valid.
bool parse_cli_options(int argc, char** argv, CliOptions& options, std::string& error);
void print_usage(std::FILE* out);
