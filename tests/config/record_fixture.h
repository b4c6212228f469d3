#pragma once

#include "platform/clock.h"
#include "platform/message_box.h"
#include "shared/kelm_debug_log.h"
#include "shared/kelm_service.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace kelm::testing {

class RecordingMessageBox final : public platform::MessageBox {
public:
    void showError(std::string_view caption, std::string_view text) override
    {
        shown.push_back(std::string(caption) + "|" + std::string(text));
    }
    std::vector<std::string> shown;
};

class FixedClock final : public platform::Clock {
public:
    std::time_t now() const override { return t; }
    std::time_t t = 1228847462; // Tue Dec 09 18:31:02 2008 UTC
};

// A fresh program directory with one service record and its trace log in it.
class RecordFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
        dir = std::filesystem::temp_directory_path() /
              ("kelm_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        programDir = dir.string() + "/";
        log = std::make_unique<CKelmDebugLog>(programDir, clock);
        record = std::make_unique<CKelmService>(programDir, *log, messages);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string path(const std::string& name) const { return programDir + name; }

    void writeFile(const std::string& name, const std::string& content) const
    {
        std::ofstream(path(name), std::ios::binary) << content;
    }

    std::string readFile(const std::string& name) const
    {
        std::ifstream in(path(name), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::filesystem::path dir;
    std::string programDir;
    FixedClock clock;
    RecordingMessageBox messages;
    std::unique_ptr<CKelmDebugLog> log;
    std::unique_ptr<CKelmService> record;
};

} // namespace kelm::testing
