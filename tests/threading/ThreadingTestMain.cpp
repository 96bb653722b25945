#include "tests/threading/ThreadLog.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    useOwnLogFile();
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    removeOwnLogFiles();
    return result;
}
