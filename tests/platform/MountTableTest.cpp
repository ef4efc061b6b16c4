#include "platform/MountTable.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

using namespace katalox::platform;

TEST(MountTable, ReadsDeviceMountPointTypeAndSource) {
    const auto mounts = parseMountTable("29 1 8:2 / /media/x\\011y rw,relatime shared:1 master:2 - "
                                        "ext4 /dev/sd\\134b rw\n"
                                        "30 1 0:6 / /dev rw - devtmpfs udev rw\n");
    ASSERT_EQ(mounts.size(), 2u);
    EXPECT_EQ(mounts[0].device, ::makedev(8, 2));
    EXPECT_EQ(mounts[0].mountPoint, "/media/x\ty");
    EXPECT_EQ(mounts[0].type, "ext4");
    EXPECT_EQ(mounts[0].source, "/dev/sd\\b");
    EXPECT_EQ(mounts[1].type, "devtmpfs");
}

TEST(MountTable, TheLiveTableHoldsTheRoot) {
    struct stat root {};
    ASSERT_EQ(::stat("/", &root), 0);
    bool found = false;
    for (const MountedFileSystem& mount : readMountTable())
        found = found || (mount.mountPoint == "/" && mount.device == root.st_dev);
    EXPECT_TRUE(found);
}
