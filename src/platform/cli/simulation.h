// --simulate: the simulated modem `modemsim` as a child process on a
// pseudo-terminal, with a sample image and loader file in a temporary
// directory that is the current directory while the job runs.
#pragma once

#include <string>
#include <sys/types.h>

class Simulation {
public:
    ~Simulation();

    // Makes the directory and files, starts the simulator and enters the
    // directory. False with a message when any of it fails.
    bool start(bool verbose, std::string& error);
    const std::string& device() const { return device_; }
    const std::string& image() const { return image_; }

    // Ends the simulator (it ends by itself after a job that talked to it)
    // and tells whether its flash equals the image.
    bool finish();

private:
    void clean_up();

    std::string directory_;
    std::string image_;
    std::string device_;
    pid_t child_ = -1;
    int child_out_ = -1;
    int home_fd_ = -1;  // the current directory before the job
};
