#include "light/LightSwitch.h"
#include "tests/light/LightTestSupport.h"
#include "light/LightVelk77Service.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <tuple>

namespace Norvik {
namespace {

using Testing::TestLamp;
using Colours = TestLamp::Colours;
using Clock = std::chrono::steady_clock;

// The lamp's colour calls wait this long before they act.
constexpr auto lampWait = std::chrono::milliseconds(50);

class LightService : public Testing::LampConsoleTest {
protected:
    void SetUp() override
    {
        LampConsoleTest::SetUp();
        service.reset(LightVelk77Service::create());
    }

    void stopServing() override { service.reset(); }

    std::unique_ptr<LightVelk77Service> service;
};

TEST_F(LightService, SetLightsSwitchesAllThreeTogether)
{
    EXPECT_EQ(lamp->colours(), (Colours{false, false, false}));
    EXPECT_TRUE(console->lines().empty());

    std::wstring log = L"kept";
    const auto begin = Clock::now();
    EXPECT_EQ(service->setLights(true, false, true, log), 0);
    EXPECT_GE(Clock::now() - begin, lampWait);
    EXPECT_EQ(log, L"kept");
    EXPECT_EQ(lamp->colours(), (Colours{true, false, true}));
    EXPECT_EQ(console->lines(), (std::vector<std::string>{"START", "STOP"}));

    EXPECT_EQ(service->setLights(false, true, true, log), 0);
    EXPECT_EQ(lamp->colours(), (Colours{false, true, true}));
    EXPECT_EQ(service->switchAllOff(log), 0);
    EXPECT_EQ(lamp->colours(), (Colours{false, false, false}));
    EXPECT_EQ(log, L"kept");
    EXPECT_EQ(console->lines().size(), 6u);
}

TEST_F(LightService, SwitchColourActsOnTheCallersThreadOnly)
{
    std::wstring log = L"kept";
    EXPECT_EQ(service->switchColour(2, true, log), 0);
    EXPECT_EQ(lamp->colours(), (Colours{false, false, true}));
    EXPECT_EQ(service->switchColour(0, true, log), 0);
    EXPECT_EQ(service->switchColour(2, false, log), 0);
    EXPECT_EQ(lamp->colours(), (Colours{true, false, false}));

    const auto accesses = lamp->accessCount();
    EXPECT_EQ(service->switchColour(5, true, log), 0);
    EXPECT_EQ(service->switchColour(-1, false, log), 0);
    EXPECT_EQ(lamp->accessCount(), accesses);
    EXPECT_EQ(log, L"kept");
    EXPECT_TRUE(console->lines().empty());
}

TEST_F(LightService, ConcurrentRequestsNeverMixTheirColours)
{
    std::atomic<bool> go{false};
    auto requester = [&](bool red, bool green, bool blue) {
        while (!go)
            std::this_thread::yield();
        std::wstring log;
        for (int i = 0; i < 3; ++i)
            service->setLights(red, green, blue, log);
    };
    const auto begin = Clock::now();
    std::thread first(requester, true, false, true);
    std::thread second(requester, false, true, false);
    go = true;
    first.join();
    second.join();
    // Serialised: six requests, one lamp wait each.
    EXPECT_GE(Clock::now() - begin, 6 * lampWait);
    const Colours lit = lamp->colours();
    EXPECT_TRUE(lit == (Colours{true, false, true}) || lit == (Colours{false, true, false})) << lit;
    const auto lines = console->lines();
    ASSERT_EQ(lines.size(), 12u);
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i], i % 2 ? "STOP" : "START") << i;
}

TEST_F(LightService, SwitchCallsItsColourOnceWhateverTheLampShows)
{
    for (const auto& [colour, on, accesses] :
         {std::tuple{0, false, 2u}, std::tuple{0, true, 2u}, std::tuple{3, true, 0u}}) {
        LightSwitch lightSwitch(colour, on);
        const auto before = lamp->accessCount();
        lightSwitch.start();
        lightSwitch.join();
        EXPECT_TRUE(lightSwitch.isFinished());
        EXPECT_EQ(lamp->accessCount(), before + accesses) << colour << on;
    }
    EXPECT_EQ(lamp->colours(), (Colours{true, false, false}));
}

TEST_F(LightService, SwitchWaitsForTheStartFlag)
{
    std::atomic<bool> startFlag{false};
    LightSwitch green(1, true, &startFlag);
    EXPECT_TRUE(green.isFinished());
    green.start();
    EXPECT_FALSE(green.isFinished());
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(green.isFinished());
    EXPECT_EQ(lamp->colours(), (Colours{false, false, false}));
    startFlag = true;
    green.join();
    EXPECT_TRUE(green.isFinished());
    EXPECT_EQ(lamp->colours(), (Colours{false, true, false}));
}

TEST_F(LightService, ClosingTheServiceLeavesTheLampConnectionClosed)
{
    std::wstring log;
    ASSERT_EQ(service->setLights(true, true, true, log), 0);
    EXPECT_FALSE(lamp->chipLocked());
    service.reset();
    EXPECT_TRUE(lamp->chipLocked());
}

} // namespace
} // namespace Norvik
