// Volume facts from fakes of the mount table and of /dev/disk, and from a real tmpfs mount
// where the machine lets the test mount one.
#include "platform/Volume.h"
#include "platform/MountTable.h"

#include "common/TempDir.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

using namespace katalox::platform;

namespace {

// A fake system: a "device" file, a mount table that mounts it (with the real device number of
// the temporary folder) on a folder, and /dev/disk links naming it by UUID and label.
class FakeVolumes : public ::testing::Test {
protected:
    FakeVolumes() {
        saved_ = volumeSources();
        device = dir.write("dev/sdz1");
        mountPoint = dir.mkdir("media/ann/PHOTOS");
        dir.mkdir("by-uuid");
        dir.mkdir("by-label");
        std::filesystem::create_symlink("../dev/sdz1", dir.file("by-uuid/1234-ABCD"));
        std::filesystem::create_symlink("../dev/sdz1", dir.file("by-label/MY\\x20PHOTOS"));
        std::filesystem::create_symlink("../dev/other", dir.file("by-uuid/9999-0000"));
        volumeSources() = {dir.file("mountinfo"), dir.file("by-uuid"), dir.file("by-label")};
        mountAt(mountPoint);
    }
    ~FakeVolumes() override { volumeSources() = saved_; }

    // Rewrites the fake table: the root, and the device mounted at `where` (none when empty).
    void mountAt(const std::string& where) {
        struct stat info {};
        ::stat(dir.path().c_str(), &info);
        std::ofstream table(dir.file("mountinfo"), std::ios::trunc);
        table << "1 0 254:0 / / rw - ext4 /dev/vda rw\n";
        if (!where.empty())
            table << "2 1 " << major(info.st_dev) << ":" << minor(info.st_dev) << " / " << where
                  << " rw - vfat " << device << " rw\n";
    }

    katalox::test::TempDir dir;
    std::string device;
    std::string mountPoint;

private:
    VolumeSources saved_;
};

} // namespace

TEST_F(FakeVolumes, AFolderOnTheVolumeGivesItsIdentityAndPlace) {
    dir.mkdir("media/ann/PHOTOS/2024/summer");
    const auto facts = volumeOf(mountPoint + "/2024/summer/");
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->uuid, "1234-ABCD");
    EXPECT_EQ(facts->label, "MY PHOTOS");
    EXPECT_EQ(facts->type, "vfat");
    EXPECT_EQ(facts->mountPoint, mountPoint);
    EXPECT_EQ(facts->folder, "2024/summer");
    EXPECT_GT(facts->capacity, 0u);
    EXPECT_LE(facts->freeSpace, facts->capacity);
    EXPECT_EQ(volumeOf(mountPoint)->folder, "");
    EXPECT_FALSE(volumeOf(dir.file("missing")));
}

TEST_F(FakeVolumes, TheVolumeIsFoundWhereverItIsMountedNow) {
    EXPECT_EQ(mountedNow("1234-ABCD", "vfat", "/elsewhere"), mountPoint);
    const std::string moved = dir.mkdir("run/media/ann/PHOTOS");
    mountAt(moved);
    EXPECT_EQ(mountedNow("1234-ABCD", "vfat", mountPoint), moved);
    mountAt("");
    EXPECT_FALSE(mountedNow("1234-ABCD", "vfat", mountPoint));
    // A UUID whose device is not mounted, and one that no link names.
    EXPECT_FALSE(mountedNow("9999-0000", "vfat", mountPoint));
    EXPECT_FALSE(mountedNow("FFFF-FFFF", "vfat", mountPoint));
    // Without a UUID the recorded mount point counts when it holds the same kind of system.
    EXPECT_EQ(mountedNow("", "ext4", "/"), "/");
    EXPECT_FALSE(mountedNow("", "vfat", "/"));
}

TEST(Volume, ARealTmpfsMountGivesItsTypeSizeAndPlace) {
    katalox::test::TempDir dir;
    const std::string point = dir.mkdir("mnt");
    if (::mount("katalox-test", point.c_str(), "tmpfs", 0, "size=4m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here (" << std::strerror(errno) << ")";
    dir.mkdir("mnt/sub");
    const auto facts = volumeOf(point + "/sub/");
    ::umount(point.c_str());
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->type, "tmpfs");
    EXPECT_EQ(facts->mountPoint, point);
    EXPECT_EQ(facts->folder, "sub");
    EXPECT_EQ(facts->capacity, 4u * 1024 * 1024);
    EXPECT_TRUE(facts->uuid.empty());
}
