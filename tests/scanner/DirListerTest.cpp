#include "scanner/DirLister.h"
#include "common/TempDir.h"
#include "platform/Error.h"
#include "platform/MessagePump.h"
#include "platform/ReadRightsDropped.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace katalox::scanner;
using katalox::platform::setMessagePumpHook;
using katalox::test::TempDir;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::UnorderedElementsAre;
using ::testing::UnorderedElementsAreArray;

namespace {

// Restores the default message pump however a test ends.
struct PumpHook {
    explicit PumpHook(std::function<void()> hook) { setMessagePumpHook(std::move(hook)); }
    ~PumpHook() { setMessagePumpHook({}); }
};

// Subfolder names of a folder in the order the file system enumerates them.
std::vector<std::string> subfoldersInOrder(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.is_directory())
            names.push_back(entry.path().filename().string());
    }
    return names;
}

std::vector<std::string> slice(const FolderList& list, std::size_t from, std::size_t to) {
    return {list.begin() + static_cast<std::ptrdiff_t>(from),
            list.begin() + static_cast<std::ptrdiff_t>(to)};
}

// What the walk's state looked like each time the message pump ran.
struct Snapshot {
    std::int32_t entries, passCount, resumeIndex, passIndex;
    std::string currentDir, last;
};

} // namespace

TEST(ListAllDirs, WorkedExampleInLevelOrderWithEveryCounter) {
    TempDir dir;
    for (const char* folder : {"Data/A/A1/X", "Data/A/A2", "Data/B/B1", "Data/E"})
        dir.mkdir(folder);
    dir.write("Data/A/file.txt");
    const std::string start = dir.file("Data/");

    std::vector<Snapshot> snapshots;
    PumpHook hook([&] {
        const auto& s = dirListerState();
        snapshots.push_back({static_cast<std::int32_t>(s.DirList->size()), s.PassCount,
                             s.ResumeIndex, s.PassIndex, s.CurrentDir, s.DirList->back()});
    });
    const auto list = ListAllDirs(start);

    // Level order, each level in the order its parents were listed and the file system gives.
    std::vector<std::string> expected = {start};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        for (const auto& name : subfoldersInOrder(expected[i]))
            expected.push_back(expected[i] + name + "/");
    }
    ASSERT_EQ(expected.size(), 8u);
    EXPECT_THAT(*list, ElementsAreArray(expected));
    EXPECT_THAT(slice(*list, 1, 4), UnorderedElementsAre(start + "A/", start + "B/", start + "E/"));
    EXPECT_EQ((*list)[7], start + "A/A1/X/");

    // The pump ran once per folder appended, right after it was appended with its mark.
    ASSERT_EQ(snapshots.size(), 7u);
    for (std::size_t i = 0; i < snapshots.size(); ++i) {
        EXPECT_EQ(snapshots[i].entries, static_cast<std::int32_t>(i + 2));
        EXPECT_EQ(snapshots[i].last, "*" + expected[i + 1]);
    }
    // Appended by the start folder's listing: no pass yet.
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(snapshots[i].passCount, 1);
        EXPECT_EQ(snapshots[i].currentDir, start);
    }
    // Pass 1 expands indices 1 to 3, pass 2 expands index 4 (A1): the counters at each append.
    for (std::size_t i = 3; i < 7; ++i) {
        const auto& s = snapshots[i];
        const std::string parent = expected[static_cast<std::size_t>(s.passIndex)];
        EXPECT_EQ(s.currentDir, parent);
        EXPECT_EQ(s.last.substr(0, parent.size() + 1), "*" + parent);
        EXPECT_EQ(s.passCount, i < 6 ? 1 : 2);
        // Every entry before this one in the pass was marked and has just been expanded.
        EXPECT_EQ(s.resumeIndex, s.passIndex - 1);
    }
    const auto a1 = std::find(expected.begin(), expected.end(), start + "A/A1/") - expected.begin();
    EXPECT_EQ(snapshots[6].passIndex, a1);

    const auto& state = dirListerState();
    EXPECT_EQ(state.DirList, list);
    EXPECT_EQ(state.PassCount, 8); // N - 1 = 7 passes after the first count of 1
    EXPECT_EQ(state.ResumeIndex, 7);
    EXPECT_EQ(state.PassIndex, 8);
    EXPECT_FALSE(state.FoundNew);
    EXPECT_EQ(state.CurrentDir, start + "A/A1/X/");
}

TEST(ListAllDirs, FolderWithoutSubfoldersRunsNoPass) {
    TempDir dir;
    dir.write("only/a.txt");
    dir.mkdir("only/.hidden");
    int pumped = 0;
    PumpHook hook([&] { ++pumped; });
    const auto list = ListAllDirs(dir.file("only/"));
    EXPECT_THAT(*list, ElementsAre(dir.file("only/")));
    EXPECT_EQ(pumped, 0);
    EXPECT_EQ(dirListerState().PassCount, 1);
    EXPECT_EQ(dirListerState().ResumeIndex, 0);
}

TEST(ListAllDirs, ChainOfSingleFoldersGivesOnePassPerLevel) {
    TempDir dir;
    dir.mkdir("c/1/2/3/4/5");
    const std::string start = dir.file("c/");
    int pumped = 0;
    PumpHook hook([&] { ++pumped; });
    const auto list = ListAllDirs(start);
    EXPECT_THAT(*list, ElementsAre(start, start + "1/", start + "1/2/", start + "1/2/3/",
                                   start + "1/2/3/4/", start + "1/2/3/4/5/"));
    EXPECT_EQ(pumped, 5);
    EXPECT_EQ(dirListerState().PassCount, 6);
    EXPECT_EQ(dirListerState().ResumeIndex, 5);
}

TEST(ListAllDirs, StartTextWithoutSeparatorIsUsedUnchanged) {
    TempDir dir;
    dir.mkdir("Data/inner");
    dir.mkdir("Data2");
    dir.mkdir("Other");
    dir.write("Datafile");
    const std::string start = dir.file("Data");
    const auto list = ListAllDirs(start);
    // The walk lists the names in the parent that begin with "Data", glued to the start text;
    // they name no folder and expand to nothing.
    ASSERT_FALSE(list->empty());
    EXPECT_EQ((*list)[0], start);
    EXPECT_THAT(slice(*list, 1, list->size()),
                UnorderedElementsAre(start + "Data/", start + "Data2/"));
}

TEST(ListAllDirs, HiddenFoldersAndEverythingBelowAreLeftOut) {
    TempDir dir;
    for (const char* folder : {"t/.hidden/sub", "t/vis/.h2/x", "t/vis/ok", "t/ro"})
        dir.mkdir(folder);
    ::chmod(dir.file("t/ro").c_str(), 0555); // a read-only folder is listed
    const std::string start = dir.file("t/");
    EXPECT_THAT(*ListAllDirs(start),
                UnorderedElementsAre(start, start + "vis/", start + "ro/", start + "vis/ok/"));
    // A hidden start folder is walked all the same.
    EXPECT_THAT(*ListAllDirs(start + ".hidden/"),
                ElementsAre(start + ".hidden/", start + ".hidden/sub/"));
}

TEST(ListAllDirs, RootStartGivesEntriesBelowTheRootOnly) {
    // Walking the whole machine is not the point: the first pass is cut short by the pump.
    struct Stop {};
    PumpHook hook([] {
        if (dirListerState().CurrentDir != "/")
            throw Stop{};
    });
    EXPECT_THROW(ListAllDirs("/"), Stop);
    const auto& list = *dirListerState().DirList;
    EXPECT_EQ(list[0], "/");
    std::vector<std::string> firstLevel;
    for (std::size_t i = 1; i < list.size() && list[i].find('/', 2) + 1 == list[i].size(); ++i)
        firstLevel.push_back(list[i]);
    EXPECT_THAT(firstLevel, ::testing::Contains("*/usr/"));
    EXPECT_THAT(firstLevel, ::testing::Not(::testing::Contains("*/proc/")));
    for (const auto& entry : firstLevel) {
        EXPECT_EQ(entry.substr(0, 2), "*/");
        EXPECT_NE(entry[2], '.') << entry;
    }
    EXPECT_FALSE(dirListerState().Running); // an aborted walk lets the next one start
}

TEST(ListAllDirs, LinksAreFollowedButNoFolderIsListedTwice) {
    TempDir dir, outside;
    dir.mkdir("t/a/b");
    outside.mkdir("y/z");
    const std::string start = dir.file("t/");
    std::filesystem::create_directory_symlink("../..", dir.file("t/a/b/up")); // back to t
    std::filesystem::create_directory_symlink(dir.file("t/a"), dir.file("t/a/b/loop"));
    std::filesystem::create_directory_symlink(".", dir.file("t/a/self"));
    std::filesystem::create_directory_symlink(outside.file("y"), dir.file("t/x")); // met once
    const auto list = ListAllDirs(start);
    EXPECT_THAT(*list, UnorderedElementsAre(start, start + "a/", start + "x/", start + "a/b/",
                                            start + "x/z/"));
    EXPECT_EQ((*list)[0], start);
    EXPECT_THAT(slice(*list, 1, 3), UnorderedElementsAre(start + "a/", start + "x/"));
}

TEST(ListAllDirs, UnreadableFolderIsListedButNotEntered) {
    TempDir dir;
    dir.mkdir("t/open/sub");
    dir.mkdir("t/locked/inner");
    ::chmod(dir.file("t/locked").c_str(), 0);
    katalox::test::ReadRightsDropped dropped;
    if (!dropped.active())
        GTEST_SKIP() << "cannot drop the right to read every folder";
    const std::string start = dir.file("t/");
    EXPECT_THAT(*ListAllDirs(start), UnorderedElementsAre(start, start + "open/", start + "locked/",
                                                          start + "open/sub/"));
}

TEST(ListAllDirs, OddNamesAreListedByteForByte) {
    TempDir dir;
    const std::vector<std::string> names = {"new\nline", "star*", "q?",   "back\\slash",
                                            "\xff\xfe",  "[x]",   " sp ", "semi;colon"};
    const std::string start = dir.file("t/");
    std::vector<std::string> expected = {start};
    for (const auto& name : names) {
        dir.mkdir("t/" + name + "/c");
        expected.push_back(start + name + "/");
        expected.push_back(start + name + "/c/");
    }
    EXPECT_THAT(*ListAllDirs(start), UnorderedElementsAreArray(expected));
}

namespace {

// Makes a chain of nested folders through descriptors, so it can go deeper than a path can name.
void makeChain(const std::string& base, const std::string& name, int depth) {
    int fd = ::open(base.c_str(), O_RDONLY | O_DIRECTORY);
    for (int level = 0; level < depth && fd >= 0; ++level) {
        ::mkdirat(fd, name.c_str(), 0755);
        const int inner = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = inner;
    }
    if (fd >= 0)
        ::close(fd);
}

// Removes such a chain from the inside out, again through descriptors.
void removeChain(int parent, const std::string& name) {
    const int fd = ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        removeChain(fd, name);
        ::close(fd);
    }
    ::unlinkat(parent, name.c_str(), AT_REMOVEDIR);
}

} // namespace

TEST(ListAllDirs, PathsLongerThanTheSystemAllowsEndTheWalkQuietly) {
    TempDir dir;
    const std::string name(200, 'n');
    const std::string start = dir.file("deep/");
    dir.mkdir("deep");
    makeChain(dir.file("deep"), name, 30); // about 6,000 bytes deep
    const auto list = ListAllDirs(start);
    const int fd = ::open(start.c_str(), O_RDONLY | O_DIRECTORY);
    removeChain(fd, name);
    ::close(fd);

    // Each entry is its parent's text and one more level, whole: texts past 1,000 bytes are
    // not cut short. The walk goes as deep as a path may be opened, then stops.
    ASSERT_GT(list->size(), 10u);
    for (std::size_t i = 1; i < list->size(); ++i)
        EXPECT_EQ((*list)[i], (*list)[i - 1] + name + "/");
    EXPECT_GT(list->back().size(), 4096u - name.size());
    EXPECT_LT(list->size(), 31u);
}

TEST(ListAllDirs, RelativeStartTextListsNothingBelowIt) {
    TempDir dir;
    dir.mkdir("sub/x");
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const auto list = ListAllDirs("sub/");
    const auto empty = ListAllDirs("");
    std::filesystem::current_path(previous);
    EXPECT_THAT(*list, ElementsAre("sub/"));
    EXPECT_THAT(*empty, ElementsAre(""));
}

TEST(ListAllDirs, SecondWalkStartsAfreshAndLeavesTheFirstListAlone) {
    TempDir dir;
    dir.mkdir("one/a");
    dir.mkdir("two");
    const auto first = ListAllDirs(dir.file("one/"));
    const auto second = ListAllDirs(dir.file("two/"));
    EXPECT_THAT(*first, ElementsAre(dir.file("one/"), dir.file("one/a/")));
    EXPECT_THAT(*second, ElementsAre(dir.file("two/")));
    EXPECT_EQ(dirListerState().DirList, second);
}

TEST(ListAllDirs, WalkStartedFromThePumpDuringAWalkIsRefused) {
    TempDir dir;
    dir.mkdir("t/a/b");
    std::string nestedError;
    PumpHook hook([&] {
        try {
            ListAllDirs(dir.file("t/"));
        } catch (const katalox::Error& error) {
            nestedError = error.what();
        }
    });
    const auto list = ListAllDirs(dir.file("t/"));
    EXPECT_EQ(nestedError, "A folder scan is already running");
    EXPECT_THAT(*list, ElementsAre(dir.file("t/"), dir.file("t/a/"), dir.file("t/a/b/")));
}

TEST(ExtractDirPart, KeepsEverythingUpToTheLastSeparator) {
    EXPECT_EQ(ExtractDirPart("/data/Files.db"), "/data/");
    EXPECT_EQ(ExtractDirPart("/data/"), "/data/");
    EXPECT_EQ(ExtractDirPart("/Files.db"), "/");
    EXPECT_EQ(ExtractDirPart("Files.db"), "");
    EXPECT_EQ(ExtractDirPart(""), "");
    EXPECT_EQ(ExtractDirPart("/a\\b/c\\d"), "/a\\b/"); // a backslash is an ordinary character
}
