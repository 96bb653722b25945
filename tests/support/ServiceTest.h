#pragma once

#include "tests/support/ChildProcess.h"
#include "tests/support/Contract.h"
#include "tests/support/Files.h"
#include "tests/support/TcpClient.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace TestSupport {

// The program lightservice run in a temporary home of its own: its data folder and simulated
// chip. Other programs on this machine may hold the service's port a while: the test waits.
class ServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(waitForFreePort(servicePort, std::chrono::seconds(60))) << "another program holds port 48888";
    }

    // The program of binDirectory with words, outside the service manager (unless the test says).
    ChildOptions serviceOptions(std::vector<std::string> words, const std::string& binDirectory = binDir()) const
    {
        ChildOptions options;
        options.arguments = std::move(words);
        options.removed = {"NOTIFY_SOCKET", "INVOCATION_ID"};
        // Sanitizer runtimes wrap dlopen, so the bare-name loads need the directory named.
        options.environment = {
            {"XDG_DATA_HOME", home.file("data")}, {"LAMPSIM_STATE", statePath()}, {"LD_LIBRARY_PATH", binDirectory}};
        return options;
    }

    std::string statePath() const { return home.file("chip.state"); }
    std::string logText() const { return readFile(home.file("data") + std::string(Contract::logFile)); }

    TempDir home;
};

} // namespace TestSupport
