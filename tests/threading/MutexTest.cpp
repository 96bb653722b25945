#include "utils/threading/Mutex.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

using Norvik::Utils::Threading::Mutex;
using Norvik::Utils::Threading::ScopedLock;

namespace {

bool tryLockElsewhere(Mutex& mutex)
{
    bool taken = false;
    std::thread([&] {
        taken = mutex.tryLock();
        if (taken) {
            mutex.unlock();
        }
    }).join();
    return taken;
}

bool unlockElsewhere(Mutex& mutex)
{
    bool released = true;
    std::thread([&] { released = mutex.unlock(); }).join();
    return released;
}

} // namespace

TEST(Mutex, RecursiveAndExclusive)
{
    std::unique_ptr<Mutex> mutex(Mutex::create());
    EXPECT_TRUE(mutex->lock());
    EXPECT_TRUE(mutex->tryLock());
    EXPECT_FALSE(tryLockElsewhere(*mutex));
    EXPECT_TRUE(mutex->unlock());
    EXPECT_FALSE(tryLockElsewhere(*mutex));
    EXPECT_TRUE(mutex->unlock());
    EXPECT_TRUE(tryLockElsewhere(*mutex));
}

TEST(Mutex, UnlockReportsAReleaseThatDidNotHappen)
{
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the thread sanitizer reports these misuses itself";
#endif
    std::unique_ptr<Mutex> mutex(Mutex::create());
    EXPECT_FALSE(mutex->unlock());
    ASSERT_TRUE(mutex->lock());
    // Only the holder releases it.
    EXPECT_FALSE(unlockElsewhere(*mutex));
    EXPECT_FALSE(tryLockElsewhere(*mutex));
    EXPECT_TRUE(mutex->unlock());
}

TEST(Mutex, NestedScopedLocksSerialiseWriters)
{
    std::unique_ptr<Mutex> mutex(Mutex::create());
    long counter = 0;
    std::vector<std::thread> writers;
    for (int i = 0; i < 4; ++i) {
        writers.emplace_back([&] {
            for (int n = 0; n < 20000; ++n) {
                ScopedLock outer(mutex.get());
                ScopedLock inner(mutex.get());
                ++counter;
            }
        });
    }
    for (auto& writer : writers) {
        writer.join();
    }
    EXPECT_EQ(counter, 80000);
    EXPECT_TRUE(tryLockElsewhere(*mutex));
}
