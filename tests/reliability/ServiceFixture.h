#pragma once

#include "tests/reliability/ReliabilitySupport.h"
#include "tests/support/ServiceTest.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace Reliability {

// Runs copies or the built program lightservice in the test's home; their outputs are files there.
class ServiceFixture : public TestSupport::ServiceTest {
protected:
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
                                       const Environment& env = {})
    {
        TestSupport::ChildOptions options = serviceOptions(words, binDirectory);
        options.environment.insert(options.environment.end(), env.begin(), env.end());
        outputs.push_back(home.file("output-" + std::to_string(outputs.size()) + ".txt"));
        options.outputFile = options.errorFile = outputs.back();
        return std::make_unique<Service>(binDirectory + "/lightservice", options);
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

    std::vector<std::string> outputs;
};

} // namespace Reliability
