#include "platform/Find.h"
#include "common/TempDir.h"
#include "platform/ReadRightsDropped.h"
#include "platform/Wildcard.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using katalox::platform::FindOperation;
using katalox::platform::FindRequest;
using katalox::platform::matchesMask;
using katalox::test::TempDir;
using ::testing::Contains;
using ::testing::Not;
using ::testing::UnorderedElementsAre;
using ::testing::UnorderedElementsAreArray;

namespace {

std::vector<std::string> namesOf(const std::string& pattern, FindRequest request) {
    std::vector<std::string> names;
    FindOperation find(pattern, request);
    while (find.next())
        names.push_back(find.name());
    return names;
}

// The file system type the mount table gives for a mount point, empty when it is none.
std::string mountType(const std::string& mountPoint) {
    std::ifstream mounts("/proc/self/mounts");
    std::string source, point, type, rest, found;
    while (mounts >> source >> point >> type && std::getline(mounts, rest)) {
        if (point == mountPoint)
            found = type; // the last mount on a point is the one seen
    }
    return found;
}

} // namespace

TEST(FindMask, ClassicWildcardRulesOverUtf8Characters) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"report.doc", "*.*", true},
        {"README", "*.*", true},
        {"README", "*.", true},
        {"a.b", "*.", false},
        {"Data1", "Data*.*", true},
        {"datax.TXT", "DATA*.*", true},
        {"xData", "Data*.*", false},
        {"abc", "a?c", true},
        {"ac", "a?c", false},
        {"a;b", "a;b", true},
        {"ab", "a;b", false},
        {"a.b.c", "*.c", true},
        {"abcabd", "*abd", true},
        {"abcab", "*abd", false},
        {"abc", "abc.*", true},
        {"abcd", "abc.*", false},
        {"abc", "", false},
        {"x", "[x]", false},
        {"äRGER.txt", "Ärger.TXT", true},
        {"ΣΟΦΙΑ", "σοφια", true},
        {"é", "?", true},
        {"é", "??", false},
        {"x😀y", "x?y", true},
        {"\xff", "?", true},
        {"a\xff.b", "A\xff.*", true},
        {"a\xfe", "a\xff", false},
    };
    for (const auto& [name, mask, matches] : cases)
        EXPECT_EQ(matchesMask(name, mask), matches) << name << " / " << mask;
}

class FindInFolder : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* file : {"a.txt", "B.TXT", "noext", ".hidden"})
            dir.write(file, "12345");
        dir.mkdir("Sub");
        dir.mkdir(".hdir");
    }
    std::string pattern(const std::string& mask) const { return dir.path() + "/" + mask; }
    TempDir dir;
};

TEST_F(FindInFolder, RequestsAndMasksSelectEntries) {
    EXPECT_THAT(
        namesOf(pattern("*.*"), FindRequest::AnyKind),
        UnorderedElementsAre(".", "..", "a.txt", "B.TXT", "noext", ".hidden", "Sub", ".hdir"));
    EXPECT_THAT(namesOf(pattern("*.*"), FindRequest::Folders),
                UnorderedElementsAre(".", "..", "a.txt", "B.TXT", "noext", "Sub"));
    EXPECT_THAT(namesOf(pattern("*.txt"), FindRequest::AnyKind),
                UnorderedElementsAre("a.txt", "B.TXT"));
    EXPECT_THAT(namesOf(pattern("*."), FindRequest::AnyKind), UnorderedElementsAre("noext", "Sub"));
}

TEST_F(FindInFolder, PatternsThatGiveNoEntry) {
    for (const std::string& none :
         {dir.path() + "/missing/*.*", dir.path() + "/", std::string(), dir.file("a.txt") + "/*.*",
          dir.path() + std::string("/Sub\0/x/*.*", 10)})
        EXPECT_TRUE(namesOf(none, FindRequest::AnyKind).empty()) << none;
    // A relative pattern never reads the current directory.
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const auto relative = namesOf("*.*", FindRequest::AnyKind);
    std::filesystem::current_path(previous);
    EXPECT_TRUE(relative.empty());

    dir.write("locked/inside.txt");
    ::chmod(dir.file("locked").c_str(), 0);
    katalox::test::ReadRightsDropped dropped;
    if (!dropped.active())
        GTEST_SKIP() << "cannot drop the right to read every folder";
    EXPECT_TRUE(namesOf(dir.path() + "/locked/*.*", FindRequest::AnyKind).empty());
}

TEST_F(FindInFolder, HandleIsReleasedWhenRunOutAndWhenDestroyedEarly) {
    auto descriptors = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
    };
    const auto before = descriptors();
    {
        FindOperation find(pattern("*.*"), FindRequest::AnyKind);
        while (find.next()) {
        }
        EXPECT_EQ(descriptors(), before);
        FindOperation early(pattern("*.*"), FindRequest::AnyKind);
        ASSERT_TRUE(early.next());
    }
    EXPECT_EQ(descriptors(), before);
}

TEST_F(FindInFolder, AttributesSizesAndLinks) {
    ::chmod(dir.file("a.txt").c_str(), 0444);
    ::truncate(dir.file("noext").c_str(), 5LL << 30); // sparse 5 GiB: sizes are full 64-bit
    std::filesystem::create_directory_symlink(dir.file(".hdir"), dir.file("toHidden"));
    std::filesystem::create_symlink(dir.file("B.TXT"), dir.file("toFile"));
    std::filesystem::create_symlink(dir.file("gone"), dir.file("broken"));
    std::map<std::string, katalox::platform::FileAttributes> seen;
    std::map<std::string, std::uint64_t> sizes;
    FindOperation find(pattern("*.*"), FindRequest::Folders);
    while (find.next()) {
        const bool directory = find.isDirectory();
        seen[find.name()] = find.attributes();
        sizes[find.name()] = find.size();
        EXPECT_EQ(directory, seen[find.name()].directory) << find.name();
    }
    // Hidden is a matter of the name: a visible link to a hidden folder is a listed folder.
    EXPECT_TRUE(seen["toHidden"].directory && !seen["toHidden"].hidden);
    EXPECT_TRUE(seen["Sub"].directory && !seen["Sub"].system && !seen["Sub"].readOnly);
    EXPECT_FALSE(seen["toFile"].directory || seen["broken"].directory || seen["B.TXT"].directory);
    EXPECT_FALSE(seen["."].hidden || seen[".."].hidden);
    EXPECT_TRUE(seen["a.txt"].readOnly);
    // A link is sized as itself: the length of the path it holds.
    EXPECT_EQ(sizes["toFile"], dir.file("B.TXT").size());
    EXPECT_EQ(FindOperation::lookUp(dir.file("toFile"))->size, dir.file("B.TXT").size());
    EXPECT_EQ(sizes["noext"], 5ULL << 30);
    EXPECT_EQ(FindOperation::lookUp(dir.file("noext"))->size, 5ULL << 30);
}

TEST(FindLookUp, AnyNameIsTakenLiterally) {
    TempDir dir;
    const std::vector<std::string> names = {"a*b",       "q?",       "[x]", " sp ",
                                            "new\nline", "\xff\xfe", "b\\s"};
    for (const auto& name : names) {
        dir.write(name, "abc");
        const auto found = FindOperation::lookUp(dir.path() + "/" + name);
        ASSERT_TRUE(found) << name;
        EXPECT_EQ(found->name, name);
        EXPECT_EQ(found->size, 3u);
    }
    for (const std::string& none : {dir.path() + "/a*", dir.path() + "/q", dir.path() + "/",
                                    std::string("q?"), dir.path() + std::string("/a*b\0x", 6)})
        EXPECT_FALSE(FindOperation::lookUp(none)) << none;
    auto expected = names;
    expected.insert(expected.end(), {".", ".."});
    EXPECT_THAT(namesOf(dir.path() + "/*", FindRequest::AnyKind),
                UnorderedElementsAreArray(expected));
}

TEST(FindSystem, KernelFileSystemFoldersAreSystemButTmpfsIsNot) {
    if (mountType("/proc") != "proc")
        GTEST_SKIP() << "no /proc";
    // Inside /proc every folder is a system folder; its files are still given.
    const auto inProc = namesOf("/proc/*.*", FindRequest::Folders);
    EXPECT_THAT(inProc, Contains("meminfo"));
    EXPECT_THAT(inProc, Not(Contains("self")));
    EXPECT_THAT(namesOf("/proc/*.*", FindRequest::AnyKind), Contains("self"));
    const auto atRoot = namesOf("/*.*", FindRequest::Folders);
    EXPECT_THAT(atRoot, Not(Contains("proc")));
    EXPECT_THAT(atRoot, Contains("usr"));
    // devtmpfs and tmpfs share a magic number; only the first is a system file system.
    if (mountType("/dev") == "devtmpfs") {
        EXPECT_TRUE(FindOperation::lookUp("/dev")->attributes.system);
        EXPECT_THAT(atRoot, Not(Contains("dev")));
    }
    if (mountType("/dev/shm") == "tmpfs") {
        EXPECT_FALSE(FindOperation::lookUp("/dev/shm")->attributes.system);
        EXPECT_THAT(namesOf("/dev/*.*", FindRequest::Folders), Contains("shm"));
    }
}
