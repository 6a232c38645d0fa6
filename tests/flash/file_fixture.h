// Test base for the flash senders: fresh platform doubles per case, and small
// fixture files written to a temporary directory that goes away with the test.
#pragma once

#include "app/flash_job.h"
#include "fakes.h"
#include "platform/text_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

class FlashFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "flashtest-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }

    void TearDown() override
    {
        close_current();
        doubles_.reset();
        std::filesystem::remove_all(dir_);
    }

    // New doubles and a reset job record for one case; the file the last
    // case left open is closed first.
    fakes::Doubles& fresh()
    {
        close_current();
        doubles_.reset();
        return doubles_.emplace();
    }

    // Writes `content` byte for byte and returns its path.
    std::string write_file(const std::string& content, const std::string& name = "fixture.hex")
    {
        std::string path = (dir_ / name).string();
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    // Writes `content` and opens it as the file being sent, sized as the
    // state machine sizes it.
    void open_as_current(const std::string& content)
    {
        std::string path = write_file(content);
        job.cur_file = text_open(path.c_str());
        ASSERT_NE(job.cur_file, nullptr);
        job.progress_total = static_cast<int>(content.size());
    }

private:
    static void close_current()
    {
        text_close(job.cur_file);
        job.cur_file = nullptr;
    }

    std::filesystem::path dir_;
    std::optional<fakes::Doubles> doubles_;
};
