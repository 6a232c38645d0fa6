// --simulate: the simulated modem (modemsim, found next to this executable
// or on PATH) on a pseudo-terminal, in a scratch directory that holds a
// generated image "modem.hex" and loader "flashldr.hex". The directory
// becomes the current one, so the file dialog proposes the image and the job
// finds the loader; COM<n> is mapped to the simulator's line through
// FLASHLOADER_COM<n>. Everything goes when the object does; the simulator
// also ends should this process die first.
#pragma once

#include <string>
#include <sys/types.h>

class SimulatedModem {
public:
    SimulatedModem() = default;
    SimulatedModem(const SimulatedModem&) = delete;
    SimulatedModem& operator=(const SimulatedModem&) = delete;
    ~SimulatedModem() { stop(); }

    // False with a message in `error` when any piece could not be set up
    // (what was set up is taken down again).
    bool start(int com_port, std::string& error);
    void stop();

private:
    bool start_server(int com_port, std::string& error);

    std::string dir_;
    pid_t pid_ = -1;
    int out_fd_ = -1;
};
