#pragma once

#include "platform/clock.h"
#include "platform/message_box.h"
#include "shared/kelm_debug_log.h"
#include "shared/kelm_service.h"
#include "tests/support/file_text.h"
#include "tests/support/temp_dir.h"

#include <filesystem>
#include <memory>
#include <gtest/gtest.h>
#include <string>
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
        temp = std::make_unique<kelm::test::TempDir>();
        dir = temp->path();
        programDir = dir.string() + "/";
        log = std::make_unique<CKelmDebugLog>(programDir, clock);
        record = std::make_unique<CKelmService>(programDir, *log, messages);
    }

    std::string path(const std::string& name) const { return programDir + name; }
    void writeFile(const std::string& name, const std::string& content) const { kelm::test::writeFile(path(name), content); }
    std::string readFile(const std::string& name) const { return kelm::test::readFile(path(name)); }

    std::unique_ptr<kelm::test::TempDir> temp;
    std::filesystem::path dir;
    std::string programDir;
    FixedClock clock;
    RecordingMessageBox messages;
    std::unique_ptr<CKelmDebugLog> log;
    std::unique_ptr<CKelmService> record;
};

} // namespace kelm::testing
