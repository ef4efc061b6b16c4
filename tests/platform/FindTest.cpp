#include "platform/Find.h"
#include "common/TempDir.h"
#include "platform/ReadRightsDropped.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using katalox::platform::FindOperation;
using katalox::platform::FindRequest;
using katalox::test::TempDir;
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

std::size_t openDescriptors() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
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

class FindInFolder : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* file : {"a.txt", "B.TXT", "c.doc", "noext", ".hidden"})
            dir.write(file);
        dir.mkdir("Sub");
        dir.mkdir(".hdir");
    }
    std::string pattern(const std::string& mask) const { return dir.path() + "/" + mask; }
    TempDir dir;
};

} // namespace

TEST(FindMask, ClassicWildcardRules) {
    struct Case {
        const char* name;
        const char* mask;
        bool matches;
    };
    const Case cases[] = {
        {"report.doc", "*.*", true},
        {"README", "*.*", true},
        {"README", "*.", true},
        {"a.b", "*.", false},
        {"README", "*", true},
        {"Data1", "Data*.*", true},
        {"datax.TXT", "DATA*.*", true},
        {"xData", "Data*.*", false},
        {"abc", "a?c", true},
        {"ac", "a?c", false},
        {"abbc", "a?c", false},
        {"a;b", "a;b", true},
        {"ab", "a;b", false},
        {"a.b.c", "*.c", true},
        {"a.b.c", "*.b", false},
        {"aXbXc", "a*b*c", true},
        {"abcabd", "*abd", true},
        {"abcab", "*abd", false},
        {"abc", "abc.*", true},
        {"abc.x", "abc.*", true},
        {"abcd", "abc.*", false},
        {"abc", "abc.", true},
        {"", "*", true},
        {"abc", "", false},
        {"[x]", "[x]", true},
        {"x", "[x]", false},
        {"a\\b", "a\\?", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FindOperation::matchesMask(c.name, c.mask), c.matches)
            << "'" << c.name << "' against '" << c.mask << "'";
}

TEST(FindMask, CaseAndQuestionMarkWorkOnUtf8Characters) {
    EXPECT_TRUE(FindOperation::matchesMask("äRGER.txt", "Ärger.TXT"));
    EXPECT_TRUE(FindOperation::matchesMask("ΣΟΦΙΑ", "σοφια"));
    EXPECT_TRUE(FindOperation::matchesMask("é", "?")); // two bytes, one character
    EXPECT_FALSE(FindOperation::matchesMask("é", "??"));
    EXPECT_TRUE(FindOperation::matchesMask("x😀y", "x?y")); // four bytes, one character
    EXPECT_TRUE(FindOperation::matchesMask("\xff", "?"));  // an invalid byte is a character
    EXPECT_TRUE(FindOperation::matchesMask("a\xff.b", "A\xff.*"));
    EXPECT_FALSE(FindOperation::matchesMask("a\xfe", "a\xff"));
}

TEST_F(FindInFolder, EveryKindGivesAllEntriesWithDotAndDotDot) {
    EXPECT_THAT(namesOf(pattern("*.*"), FindRequest::AnyKind),
                UnorderedElementsAre(".", "..", "a.txt", "B.TXT", "c.doc", "noext", ".hidden",
                                     "Sub", ".hdir"));
}

TEST_F(FindInFolder, FoldersRequestLeavesOutHiddenEntriesOnly) {
    EXPECT_THAT(namesOf(pattern("*.*"), FindRequest::Folders),
                UnorderedElementsAre(".", "..", "a.txt", "B.TXT", "c.doc", "noext", "Sub"));
}

TEST_F(FindInFolder, MaskSelectsNamesIgnoringCase) {
    EXPECT_THAT(namesOf(pattern("*.txt"), FindRequest::AnyKind),
                UnorderedElementsAre("a.txt", "B.TXT"));
    EXPECT_THAT(namesOf(pattern("*."), FindRequest::AnyKind), UnorderedElementsAre("noext", "Sub"));
    EXPECT_THAT(namesOf(pattern("?.DOC"), FindRequest::AnyKind), UnorderedElementsAre("c.doc"));
    EXPECT_THAT(namesOf(pattern("sub"), FindRequest::Folders), UnorderedElementsAre("Sub"));
}

TEST_F(FindInFolder, PatternsThatGiveNoEntry) {
    EXPECT_TRUE(namesOf(dir.path() + "/missing/*.*", FindRequest::AnyKind).empty());
    EXPECT_TRUE(namesOf(dir.path() + "/", FindRequest::AnyKind).empty());
    EXPECT_TRUE(namesOf("", FindRequest::AnyKind).empty());
    EXPECT_TRUE(namesOf(dir.file("a.txt") + "/*.*", FindRequest::AnyKind).empty()); // a file

    // A relative pattern never reads the current directory.
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const auto relative = namesOf("*.*", FindRequest::AnyKind);
    const auto relativeSub = namesOf("Sub/*.*", FindRequest::AnyKind);
    std::filesystem::current_path(previous);
    EXPECT_TRUE(relative.empty());
    EXPECT_TRUE(relativeSub.empty());
}

TEST_F(FindInFolder, UnreadableFolderGivesNoEntry) {
    dir.write("locked/inside.txt");
    ::chmod(dir.file("locked").c_str(), 0);
    katalox::test::ReadRightsDropped dropped;
    if (!dropped.active())
        GTEST_SKIP() << "cannot drop the right to read every folder";
    EXPECT_TRUE(namesOf(dir.path() + "/locked/*.*", FindRequest::AnyKind).empty());
}

TEST_F(FindInFolder, HandleIsReleasedWhenRunOutAndWhenDestroyedEarly) {
    const std::size_t before = openDescriptors();
    {
        FindOperation find(pattern("*.*"), FindRequest::AnyKind);
        ASSERT_TRUE(find.next());
        EXPECT_GT(openDescriptors(), before);
        while (find.next()) {
        }
        EXPECT_EQ(openDescriptors(), before);
        EXPECT_FALSE(find.next());
    }
    {
        FindOperation find(pattern("*.*"), FindRequest::AnyKind);
        ASSERT_TRUE(find.next());
    }
    EXPECT_EQ(openDescriptors(), before);
}

TEST_F(FindInFolder, AttributesOfFilesFoldersAndLinks) {
    dir.write("ro.txt", "12345");
    ::chmod(dir.file("ro.txt").c_str(), 0444);
    std::filesystem::create_directory_symlink(dir.file("Sub"), dir.file("toSub"));
    std::filesystem::create_symlink(dir.file("ro.txt"), dir.file("toFile"));
    std::filesystem::create_symlink(dir.file("gone"), dir.file("broken"));

    std::map<std::string, katalox::platform::FileAttributes> seen;
    std::map<std::string, std::uint64_t> sizes;
    FindOperation find(pattern("*.*"), FindRequest::AnyKind);
    while (find.next()) {
        const bool directory = find.isDirectory();
        seen[find.name()] = find.attributes();
        sizes[find.name()] = find.size();
        EXPECT_EQ(directory, seen[find.name()].directory) << find.name();
    }
    EXPECT_TRUE(seen["Sub"].directory);
    EXPECT_TRUE(seen["toSub"].directory); // a link to a folder counts as a folder
    EXPECT_FALSE(seen["toFile"].directory);
    EXPECT_FALSE(seen["broken"].directory);
    EXPECT_FALSE(seen["a.txt"].directory);
    EXPECT_TRUE(seen[".hidden"].hidden);
    EXPECT_TRUE(seen[".hdir"].hidden);
    EXPECT_FALSE(seen["."].hidden);
    EXPECT_FALSE(seen[".."].hidden);
    EXPECT_TRUE(seen["ro.txt"].readOnly);
    EXPECT_FALSE(seen["a.txt"].readOnly);
    EXPECT_FALSE(seen["Sub"].system);
    EXPECT_EQ(sizes["ro.txt"], 5u);
    EXPECT_EQ(sizes["toFile"], 5u); // the size of what the link points to
}

TEST_F(FindInFolder, LinksToFoldersAreFoldersForTheFoldersRequest) {
    std::filesystem::create_directory_symlink(dir.file("Sub"), dir.file("toSub"));
    std::filesystem::create_directory_symlink(dir.file(".hdir"), dir.file("toHidden"));
    std::vector<std::string> folders;
    FindOperation find(pattern("*.*"), FindRequest::Folders);
    while (find.next()) {
        if (find.isDirectory())
            folders.push_back(find.name());
    }
    // Hidden is a matter of the name, so a visible link to a hidden folder is listed.
    EXPECT_THAT(folders, UnorderedElementsAre(".", "..", "Sub", "toSub", "toHidden"));
}

TEST(FindSize, SizesAboveFourGibibytesAreFull) {
    TempDir dir;
    const std::string path = dir.write("big.bin");
    const std::uint64_t size = 5ULL * 1024 * 1024 * 1024 + 7; // sparse: takes no disk space
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(size)), 0);
    FindOperation find(dir.path() + "/big.*", FindRequest::AnyKind);
    ASSERT_TRUE(find.next());
    EXPECT_EQ(find.size(), size);
    const auto found = FindOperation::lookUp(path);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->size, size);
}

TEST(FindLookUp, AnyNameIsTakenLiterally) {
    TempDir dir;
    const std::vector<std::string> names = {"a*b",       "q?",       "[x]",         " sp ace ",
                                            "new\nline", "\xff\xfe", "back\\slash", "x.*"};
    for (const auto& name : names)
        dir.write(name, "abc");
    for (const auto& name : names) {
        const auto found = FindOperation::lookUp(dir.path() + "/" + name);
        ASSERT_TRUE(found) << name;
        EXPECT_EQ(found->name, name);
        EXPECT_EQ(found->size, 3u);
        EXPECT_FALSE(found->attributes.directory);
    }
    EXPECT_FALSE(FindOperation::lookUp(dir.path() + "/a*")); // no wildcard expansion
    EXPECT_FALSE(FindOperation::lookUp(dir.path() + "/q"));
    EXPECT_FALSE(FindOperation::lookUp(dir.path() + "/missing"));
    EXPECT_FALSE(FindOperation::lookUp(dir.path() + "/"));
    EXPECT_FALSE(FindOperation::lookUp("relative/name"));
    // The enumeration gives the same names byte for byte.
    std::vector<std::string> expected = names;
    expected.insert(expected.end(), {".", ".."});
    EXPECT_THAT(namesOf(dir.path() + "/*", FindRequest::AnyKind),
                UnorderedElementsAreArray(expected));
}

TEST(FindLookUp, FolderAndLinkIdentities) {
    TempDir dir;
    dir.mkdir("real");
    std::filesystem::create_directory_symlink(dir.file("real"), dir.file("link"));
    const auto real = FindOperation::lookUp(dir.file("real"));
    const auto link = FindOperation::lookUp(dir.file("link"));
    ASSERT_TRUE(real && link);
    EXPECT_TRUE(link->attributes.directory);
    EXPECT_EQ(real->identity, link->identity);
    EXPECT_NE(real->identity, FindOperation::lookUp(dir.path() + "/.")->identity);
}

TEST(FindSystem, KernelFileSystemFoldersAreSystemButTmpfsIsNot) {
    if (mountType("/proc") != "proc")
        GTEST_SKIP() << "no /proc";
    // Inside /proc every folder is a system folder; its files are still given.
    const auto inProc = namesOf("/proc/*.*", FindRequest::Folders);
    EXPECT_THAT(inProc, ::testing::Contains("meminfo"));
    EXPECT_THAT(inProc, ::testing::Not(::testing::Contains("self")));
    EXPECT_THAT(namesOf("/proc/*.*", FindRequest::AnyKind), ::testing::Contains("self"));
    EXPECT_TRUE(FindOperation::lookUp("/proc")->attributes.system);

    const auto atRoot = namesOf("/*.*", FindRequest::Folders);
    EXPECT_THAT(atRoot, ::testing::Not(::testing::Contains("proc")));
    EXPECT_THAT(atRoot, ::testing::Contains("usr"));
    if (mountType("/sys") == "sysfs") {
        EXPECT_THAT(atRoot, ::testing::Not(::testing::Contains("sys")));
    }
    if (mountType("/dev") == "devtmpfs") {
        EXPECT_TRUE(FindOperation::lookUp("/dev")->attributes.system);
        EXPECT_THAT(atRoot, ::testing::Not(::testing::Contains("dev")));
    }
    if (mountType("/dev/shm") == "tmpfs") {
        EXPECT_FALSE(FindOperation::lookUp("/dev/shm")->attributes.system);
        EXPECT_THAT(namesOf("/dev/*.*", FindRequest::Folders), ::testing::Contains("shm"));
    }
    if (mountType("/dev/pts") == "devpts") {
        EXPECT_THAT(namesOf("/dev/*.*", FindRequest::Folders),
                    ::testing::Not(::testing::Contains("pts")));
    }
}
