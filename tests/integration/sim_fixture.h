// The flasher's core in the test process, on the real POSIX serial backend
// and clock, against modemsim on a pseudo-terminal. COMn reaches the
// simulator through FLASHLOADER_COM<n>; every other port names a path that
// does not exist. The scratch directory holds a generated image and loader
// ("flashldr.hex") and is the current directory while a test runs.
#pragma once

#include "../sim/temp_dir.h"
#include "fakes.h"
#include "platform/posix/posix_clock.h"
#include "platform/posix/posix_serial.h"
#include "real_time_window.h"
#include "sim_process.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace integ {

// Image lines of the sample image: the header and 127 more data records of
// 32 bytes, then the end record.
constexpr int IMAGE_SIZE = 4096;
constexpr int IMAGE_LINES = IMAGE_SIZE / 32 + 1;
// A short erase keeps the first acknowledgement quick.
constexpr const char* ERASE_MS = "20";

class SimulatorTest : public ::testing::Test {
protected:
    SimulatorTest();
    ~SimulatorTest() override;

    // Starts modemsim with `options` and maps COM<port> to its line.
    // Results of a job (--expect, --flash-out) are the caller's options.
    void start_modem(int port, const std::vector<std::string>& options);
    // What the job knows after the file dialog: the image's path and header.
    void choose_image(const std::string& image_file);
    // The whole program's job: start_job and the main loop, the file dialog
    // choosing `image`.
    void run_job(const std::string& image, const char* command_line = "");
    // modemsim's exit status after the job ended (-1 when it did not end).
    int modem_exit_status();
    // What modemsim wrote on its standard error (its comparison, its notes).
    std::string modem_log() const;
    // The captions of the message boxes shown, in order.
    std::vector<std::string> box_captions() const;
    // The flash written by --flash-out holds the data bytes of `image`.
    void expect_flash_holds(const std::string& image, const std::string& flash_file);

    TempDir dir;
    std::string image = dir.file("image.hex");
    std::string loader = dir.file("flashldr.hex");

    platform::PosixClock clock;
    fakes::CapturedDebug debug;
    platform::PosixSerial serial;
    RealTimeWindow window{30000};
    SimProcess modem;  // after dir: killed before its files go

private:
    std::string old_cwd_;
};

}  // namespace integ
