#include "platform/Paths.h"

#include <gtest/gtest.h>

using namespace katalox::platform;

TEST(Paths, JoinWithOrWithoutAFinalSeparator) {
    EXPECT_EQ(joinPath("/data", "Files.db"), "/data/Files.db");
    EXPECT_EQ(joinPath("/data/", "Files.db"), "/data/Files.db");
    EXPECT_EQ(joinPath("/", "home"), "/home");
    EXPECT_EQ(joinPath("", "Files.db"), "Files.db");
    EXPECT_EQ(lastComponent("/media/ann/MY DISK"), "MY DISK");
    EXPECT_EQ(lastComponent("/"), "/");
}
