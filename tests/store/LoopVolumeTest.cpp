// A disk on a real volume: ext4 images the test makes and loop-mounts (skipped where mounting
// is not allowed), unplugged, replaced by another volume at its place, and plugged in again
// elsewhere. The volume is known by the UUID its superblock holds, udev or not.
#include "CatalogFixture.h"
#include "common/TempDir.h"
#include "platform/Utf8.h"
#include "scanner/FileWalk.h"
#include "store/catalog/Catalog.h"
#include "store/catalog/CatalogFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace katalox::test {
namespace {

using State = store::ScanPlace::State;

bool run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// An ext4 image mounted at a folder while alive; made with its label when one is given.
class LoopVolume {
public:
    LoopVolume(const std::string& image, const std::string& at, const std::string& label = {})
        : at_(at) {
        mounted_ = ::geteuid() == 0 &&
                   (label.empty() || (run("truncate -s 4M '" + image + "'") &&
                                      run("mkfs.ext4 -q -F -L " + label + " '" + image + "'"))) &&
                   run("mount -o loop '" + image + "' '" + at + "'");
    }
    ~LoopVolume() { unmount(); }
    LoopVolume(const LoopVolume&) = delete;
    LoopVolume& operator=(const LoopVolume&) = delete;

    bool mounted() const { return mounted_; }
    void unmount() {
        if (mounted_)
            run("umount '" + at_ + "'");
        mounted_ = false;
    }

private:
    std::string at_;
    bool mounted_ = false;
};

TEST(LoopVolume, AnUnpluggedDiskIsNeverTakenForWhatLiesAtItsOldPlace) {
    TempDir dir;
    store::createEmptyCatalog(dir.file("Files.db"));
    store::Catalog catalog(dir.file("Files.db"));
    const std::string point = dir.mkdir("mnt/kxA");
    auto disk = std::make_unique<LoopVolume>(dir.file("a.img"), point, "KXA");
    if (!disk->mounted())
        GTEST_SKIP() << "cannot loop-mount an image here";
    dir.write("mnt/kxA/photo.jpg", "12345");
    const scanner::WalkRules rules{point + "/", "*", "*"};
    const std::vector<std::string> paths = listedFiles(rules);
    catalog.insert({"Photos", rules}, paths.size(),
                   [&](std::size_t i) { return std::string_view(paths[i]); });
    const store::RecordedScan scan = catalog.disks().at(0).scans.at(0);
    EXPECT_EQ(scan.volume.label, "KXA");
    EXPECT_FALSE(scan.volume.uuid.empty());
    const std::string stored = platform::upperCase(point) + "/PHOTO.JPG";
    EXPECT_EQ(catalog.livePath("Photos", stored), point + "/photo.jpg");

    const auto placeNow = [&] { return catalog.diskUpdate("Photos")->places().at(0); };
    // Unplugged: the empty folder left behind is not the disk, nor are files put there later,
    // which lie on the system volume.
    disk->unmount();
    EXPECT_EQ(placeNow().state, State::NotConnected);
    EXPECT_FALSE(catalog.diskUpdate("Photos")->anyConnected());
    EXPECT_FALSE(catalog.disks().at(0).mountedAt);
    dir.write("mnt/kxA/photo.jpg", "other");
    EXPECT_EQ(placeNow().state, State::NotConnected);
    EXPECT_FALSE(catalog.livePath("Photos", stored));
    std::filesystem::remove(dir.file("mnt/kxA/photo.jpg"));

    // Another volume at the place, with a file of the same name: offered as another volume,
    // never reached as the disk's.
    {
        LoopVolume other(dir.file("b.img"), point, "KXB");
        ASSERT_TRUE(other.mounted());
        dir.write("mnt/kxA/photo.jpg", "other");
        const store::ScanPlace place = placeNow();
        EXPECT_EQ(place.state, State::OtherVolume);
        ASSERT_TRUE(place.volumeNow);
        EXPECT_EQ(place.volumeNow->label, "KXB");
        EXPECT_FALSE(catalog.livePath("Photos", stored));
    }

    // Plugged in again elsewhere: found by its UUID.
    const std::string elsewhere = dir.mkdir("media/KXA");
    disk = std::make_unique<LoopVolume>(dir.file("a.img"), elsewhere);
    ASSERT_TRUE(disk->mounted());
    EXPECT_EQ(placeNow().state, State::Connected);
    EXPECT_EQ(catalog.livePath("Photos", stored), elsewhere + "/photo.jpg");
}

} // namespace
} // namespace katalox::test
