#include "sim_fixture.h"

#include "app/bounded_text.h"
#include "app/flash_job.h"
#include "app/main_loop.h"
#include "modem/image_header.h"
#include "platform/platform.h"
#include "platform/text_file.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace integ {

namespace {

constexpr int MAX_COM_PORT = 15;
constexpr uint32_t MODEM_EXIT_LIMIT_MS = 5000;
constexpr char MODEM_LOG[] = "modemsim.log";  // its standard error

std::string com_variable(int port)
{
    return "FLASHLOADER_COM" + std::to_string(port);
}

// The bytes the data records of an Intel HEX text put at their addresses;
// gaps read 0xFF. The sample images stay below 64 KiB, so their records
// carry the full address.
std::string data_bytes_of(const std::string& hex_text)
{
    std::string bytes;
    std::istringstream lines(hex_text);
    for (std::string line; std::getline(lines, line);) {
        if (line.size() < 11 || line[0] != ':' || line.compare(7, 2, "00") != 0)
            continue;
        size_t count = std::stoul(line.substr(1, 2), nullptr, 16);
        size_t address = std::stoul(line.substr(3, 4), nullptr, 16);
        if (bytes.size() < address + count)
            bytes.resize(address + count, '\xFF');
        for (size_t i = 0; i < count; ++i)
            bytes[address + i] = static_cast<char>(std::stoul(line.substr(9 + 2 * i, 2), nullptr, 16));
    }
    return bytes;
}

}  // namespace

SimulatorTest::SimulatorTest()
{
    reset_flash_job();
    platform::services() = platform::Services{&clock, &debug, &serial, &window};
    for (int port = 1; port <= MAX_COM_PORT; ++port)
        setenv(com_variable(port).c_str(), dir.file("absent-COM" + std::to_string(port)).c_str(), 1);
    old_cwd_ = std::filesystem::current_path();
    std::filesystem::current_path(dir.path);

    EXPECT_EQ(run_modemsim({"--make-image", image, "--size", std::to_string(IMAGE_SIZE)}), 0);
    EXPECT_EQ(run_modemsim({"--make-loader", loader}), 0);
}

SimulatorTest::~SimulatorTest()
{
    serial.close();
    text_close(job.cur_file);
    job.cur_file = nullptr;
    platform::services() = platform::Services{};
    std::filesystem::current_path(old_cwd_);
    for (int port = 1; port <= MAX_COM_PORT; ++port)
        unsetenv(com_variable(port).c_str());
    modem.stop();
}

void SimulatorTest::start_modem(int port, const std::vector<std::string>& options)
{
    std::string path = modem.start(options, dir.file(MODEM_LOG));
    ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << "modemsim printed no line: " << modem_log();
    setenv(com_variable(port).c_str(), path.c_str(), 1);
}

void SimulatorTest::choose_image(const std::string& image_file)
{
    copy_text(job.image_path, image_file.c_str());
    ASSERT_TRUE(read_image_header());
}

void SimulatorTest::run_job(const std::string& image_file, const char* command_line)
{
    window.dialog_result = true;
    window.dialog_path = image_file;
    window.dialog_file_title = std::filesystem::path(image_file).filename();
    start_job(command_line);
    run_main_loop();
    EXPECT_FALSE(window.ran_out) << "the job did not end in time, state " << job.job_state;
}

int SimulatorTest::modem_exit_status()
{
    int status = modem.wait_exit(MODEM_EXIT_LIMIT_MS);
    EXPECT_NE(status, -1) << "modemsim did not end after the job";
    return status;
}

std::string SimulatorTest::modem_log() const
{
    return read_file(dir.file(MODEM_LOG));
}

std::vector<std::string> SimulatorTest::box_captions() const
{
    std::vector<std::string> captions;
    for (const fakes::Box& box : window.boxes)
        captions.push_back(box.caption);
    return captions;
}

void SimulatorTest::expect_flash_holds(const std::string& image_file, const std::string& flash_file)
{
    std::string expected = data_bytes_of(read_file(image_file));
    ASSERT_EQ(expected.size(), static_cast<size_t>(IMAGE_SIZE));
    EXPECT_TRUE(read_file(flash_file) == expected) << "the programmed flash differs from the image";
}

}  // namespace integ
