#pragma once

#include "tests/reliability/ReliabilitySupport.h"
#include "tests/support/Contract.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace Reliability {

// Runs copies or the built program lightservice in a temporary home of its own: its own data
// folder, simulated chip file and output file.
class ServiceFixture : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(waitForFreePort(servicePort, 60s)) << "another program holds port 48888"; }

    void TearDown() override
    {
        // A sanitizer report in a child fails the test that started it.
        for (const std::string& path : outputs) {
            const std::string text = readFile(path);
            EXPECT_EQ(text.find("Sanitizer"), std::string::npos) << path;
            EXPECT_EQ(text.find("runtime error:"), std::string::npos) << path;
        }
        if (HasFailure())
            for (const std::string& path : outputs)
                std::fprintf(stderr, "--- %s ---\n%s---\n", path.c_str(), readFile(path).c_str());
    }

    // The program in binDirectory, loading its modules from there, listening on the service's
    // port. Other programs on this machine may take the port meanwhile: then it is started again
    // once the port is free.
    std::unique_ptr<Service> start(const std::string& binDirectory, const std::vector<std::string>& words,
                                   const Environment& env = {})
    {
        for (int attempt = 0;; ++attempt) {
            auto service = startAsIs(binDirectory, words, env);
            if (waitUntil([&] { return service->listensOn(servicePort) || !service->running(); }, 5s) || attempt == 2)
                return service;
            service.reset();
            waitForFreePort(servicePort, 60s);
        }
    }

    // The program, without waiting for anything.
    std::unique_ptr<Service> startAsIs(const std::string& binDirectory, const std::vector<std::string>& words,
                                       Environment env = {})
    {
        std::vector<std::string> argv{binDirectory + "/lightservice"};
        argv.insert(argv.end(), words.begin(), words.end());
        env.emplace("XDG_DATA_HOME", home.file("data"));
        env.emplace("LAMPSIM_STATE", home.file("chip.state"));
        // Sanitizer runtimes wrap dlopen, so the bare-name loads need the directory named.
        env.emplace("LD_LIBRARY_PATH", binDirectory);
        env.emplace("NOTIFY_SOCKET", "");
        env.emplace("INVOCATION_ID", "");
        outputs.push_back(home.file("output-" + std::to_string(outputs.size()) + ".txt"));
        return std::make_unique<Service>(argv, env, outputs.back());
    }

    // A bin folder holding a copy of the program and the given files under their names.
    std::string binFolder(const std::string& name, const std::vector<std::pair<std::string, std::string>>& files)
    {
        const std::string dir = home.file(name);
        std::filesystem::create_directories(dir);
        std::filesystem::copy_file(binDir() + "/lightservice", dir + "/lightservice");
        for (const auto& [from, to] : files)
            std::filesystem::copy_file(from, dir + "/" + to);
        return dir;
    }

    // The log of the programs started by start or startAsIs.
    std::string logText() const { return readFile(home.file("data") + std::string(Contract::logFile)); }

    TempDir home;
    std::vector<std::string> outputs;
};

} // namespace Reliability
