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
using katalox::test::TempDir;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::UnorderedElementsAre;
using ::testing::UnorderedElementsAreArray;

namespace {

// Sets the message pump for one test and restores the default however the test ends.
struct PumpHook {
    explicit PumpHook(std::function<void()> hook) {
        katalox::platform::setMessagePumpHook(std::move(hook));
    }
    ~PumpHook() { katalox::platform::setMessagePumpHook({}); }
};

std::vector<std::string> tail(const FolderList& list, std::size_t from, std::size_t to) {
    return {list.begin() + static_cast<std::ptrdiff_t>(from),
            list.begin() + static_cast<std::ptrdiff_t>(to)};
}

// Makes (or removes) a chain of nested folders through descriptors, deeper than a path can
// name, with a five-byte file "DEEP.TXT" at the bottom.
void makeChain(int parent, const std::string& name, int depth) {
    ::mkdirat(parent, name.c_str(), 0755);
    const int fd = ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY);
    if (depth > 1 && fd >= 0)
        makeChain(fd, name, depth - 1);
    else if (fd >= 0) {
        const int file = ::openat(fd, "DEEP.TXT", O_WRONLY | O_CREAT, 0644);
        (void)!::write(file, "12345", 5);
        ::close(file);
    }
    ::close(fd);
}
void removeChain(int parent, const std::string& name) {
    const int fd = ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        removeChain(fd, name);
        ::unlinkat(fd, "DEEP.TXT", 0);
    }
    ::close(fd);
    ::unlinkat(parent, name.c_str(), AT_REMOVEDIR);
}

} // namespace

TEST(ListAllDirs, ListsInLevelOrderWithEveryCounter) {
    TempDir dir;
    for (const char* folder : {"Data/A/A1/X", "Data/A/A2", "Data/B/B1", "Data/E"})
        dir.mkdir(folder);
    dir.write("Data/A/file.txt");
    const std::string start = dir.file("Data/");
    struct Snapshot {
        std::size_t entries;
        std::int32_t passCount, resumeIndex, passIndex;
        std::string currentDir, last;
    };
    std::vector<Snapshot> seen; // the state each time the pump ran
    PumpHook hook([&] {
        const auto& s = dirListerState();
        seen.push_back({s.DirList->size(), s.PassCount, s.ResumeIndex, s.PassIndex, s.CurrentDir,
                        s.DirList->back()});
    });
    const auto list = ListAllDirs(start);

    // Level order; within a level, parents' order, then the order the file system gives.
    std::vector<std::string> expected = {start};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        for (const auto& entry : std::filesystem::directory_iterator(expected[i]))
            if (entry.is_directory())
                expected.push_back(expected[i] + entry.path().filename().string() + "/");
    }
    EXPECT_THAT(*list, ElementsAreArray(expected));
    EXPECT_THAT(tail(*list, 1, 4), UnorderedElementsAre(start + "A/", start + "B/", start + "E/"));
    EXPECT_EQ((*list)[7], start + "A/A1/X/");

    // The pump ran once per folder appended, right after it was appended with its mark.
    ASSERT_EQ(seen.size(), 7u);
    for (std::size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].entries, i + 2);
        EXPECT_EQ(seen[i].last, "*" + expected[i + 1]);
        if (i < 3) { // from the start folder, before any pass
            EXPECT_EQ(seen[i].passCount, 1);
            EXPECT_EQ(seen[i].currentDir, start);
            continue;
        }
        // Pass 1 expands indices 1 to 3, pass 2 the entry of A1; every marked entry before the
        // one being expanded has just been expanded.
        EXPECT_EQ(seen[i].passCount, i < 6 ? 1 : 2);
        EXPECT_EQ(seen[i].currentDir, expected[static_cast<std::size_t>(seen[i].passIndex)]);
        EXPECT_EQ(seen[i].resumeIndex, seen[i].passIndex - 1);
    }
    EXPECT_EQ(seen[6].passIndex,
              std::find(expected.begin(), expected.end(), start + "A/A1/") - expected.begin());
    const auto& state = dirListerState();
    EXPECT_EQ(state.DirList, list);
    EXPECT_EQ(state.PassCount, 8); // N - 1 = 7 passes after the first count of 1
    EXPECT_EQ(state.ResumeIndex, 7);
    EXPECT_EQ(state.PassIndex, 8);
    EXPECT_FALSE(state.FoundNew);
}

TEST(ListAllDirs, NoSubfoldersAndChainsOfSingleFolders) {
    TempDir dir;
    dir.write("only/a.txt");
    dir.mkdir("only/.hidden");
    dir.mkdir("c/1/2/3/4");
    int pumped = 0;
    PumpHook hook([&] { ++pumped; });
    const auto alone = ListAllDirs(dir.file("only/"));
    EXPECT_THAT(*alone, ElementsAre(dir.file("only/")));
    EXPECT_EQ(pumped, 0);
    EXPECT_EQ(dirListerState().PassCount, 1);
    EXPECT_EQ(dirListerState().ResumeIndex, 0);

    const std::string c = dir.file("c/");
    EXPECT_THAT(*ListAllDirs(c),
                ElementsAre(c, c + "1/", c + "1/2/", c + "1/2/3/", c + "1/2/3/4/"));
    EXPECT_EQ(pumped, 4);
    EXPECT_EQ(dirListerState().PassCount, 5);
    EXPECT_EQ(dirListerState().ResumeIndex, 4);
    EXPECT_THAT(*alone, ElementsAre(dir.file("only/"))); // a new walk leaves the old list alone
}

TEST(ListAllDirs, FoldersOfManyFilesStillLetMessagesRun) {
    TempDir dir;
    for (int i = 0; i < 1000; ++i)
        dir.write("many/f" + std::to_string(i));
    int pumped = 0;
    PumpHook hook([&] { ++pumped; });
    EXPECT_THAT(*ListAllDirs(dir.file("many/")), ElementsAre(dir.file("many/")));
    // No folder is appended, yet the windows get a turn every few hundred entries read.
    EXPECT_GE(pumped, 3);
}

TEST(ListAllDirs, AStoppedWalkEndsAtItsNextStep) {
    TempDir dir;
    dir.mkdir("a/a1/a2");
    dir.mkdir("b/b1");
    int pumped = 0;
    PumpHook hook([&] {
        if (++pumped == 1)
            stopWalk();
    });
    const auto list = ListAllDirs(dir.file(""));
    // Only the first folder found is listed; the walk neither expands it nor goes on.
    EXPECT_EQ(pumped, 1);
    ASSERT_EQ(list->size(), 2u);
    EXPECT_EQ((*list)[1][0], '*');
    EXPECT_FALSE(dirListerState().running);

    // The next walk starts afresh and runs to its end.
    PumpHook quiet([] {});
    EXPECT_EQ(ListAllDirs(dir.file(""))->size(), 6u);
    stopWalk(); // no walk running: nothing to stop, and the next walk is not affected
    EXPECT_EQ(ListAllDirs(dir.file(""))->size(), 6u);
}

TEST(ListAllDirs, StartTextWithoutSeparatorIsUsedUnchanged) {
    TempDir dir;
    dir.mkdir("Data/inner");
    dir.mkdir("Data2");
    dir.mkdir("Other");
    dir.write("Datafile");
    // The walk lists the names in the parent that begin with "Data", glued to the start text;
    // they name no folder and expand to nothing.
    const std::string start = dir.file("Data");
    const auto list = ListAllDirs(start);
    ASSERT_EQ(list->size(), 3u);
    EXPECT_EQ((*list)[0], start);
    EXPECT_THAT(tail(*list, 1, 3), UnorderedElementsAre(start + "Data/", start + "Data2/"));
}

TEST(ListAllDirs, HiddenFoldersAndEverythingBelowAreLeftOut) {
    TempDir dir;
    for (const char* folder : {"t/.hidden/sub", "t/vis/.h2/x", "t/vis/ok", "t/ro"})
        dir.mkdir(folder);
    ::chmod(dir.file("t/ro").c_str(), 0555); // a read-only folder is listed
    const std::string t = dir.file("t/");
    EXPECT_THAT(*ListAllDirs(t), UnorderedElementsAre(t, t + "vis/", t + "ro/", t + "vis/ok/"));
    // A hidden start folder is walked all the same.
    EXPECT_THAT(*ListAllDirs(t + ".hidden/"), ElementsAre(t + ".hidden/", t + ".hidden/sub/"));
}

TEST(ListAllDirs, RootStartGivesEntriesBelowTheRoot) {
    // Walking the whole machine is not the point: the pump cuts the first pass short.
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
    for (const auto& entry : firstLevel)
        EXPECT_TRUE(entry.starts_with("*/") && entry[2] != '.') << entry;
    EXPECT_FALSE(dirListerState().running); // an aborted walk lets the next one start
}

TEST(ListAllDirs, LinksAreFollowedButNoFolderIsListedTwice) {
    TempDir dir, outside;
    dir.mkdir("t/a/b");
    outside.mkdir("y/z");
    const std::string t = dir.file("t/");
    std::filesystem::create_directory_symlink("../..", dir.file("t/a/b/up")); // back to t
    std::filesystem::create_directory_symlink(dir.file("t/a"), dir.file("t/a/b/loop"));
    std::filesystem::create_directory_symlink(".", dir.file("t/a/self"));
    std::filesystem::create_directory_symlink(outside.file("y"), dir.file("t/x")); // new folder
    const auto list = ListAllDirs(t);
    EXPECT_THAT(*list, UnorderedElementsAre(t, t + "a/", t + "x/", t + "a/b/", t + "x/z/"));
    EXPECT_THAT(tail(*list, 1, 3), UnorderedElementsAre(t + "a/", t + "x/"));
}

TEST(ListAllDirs, UnreadableFolderIsListedButNotEntered) {
    TempDir dir;
    dir.mkdir("t/open/sub");
    dir.mkdir("t/locked/inner");
    ::chmod(dir.file("t/locked").c_str(), 0);
    katalox::test::ReadRightsDropped dropped;
    if (!dropped.active())
        GTEST_SKIP() << "cannot drop the right to read every folder";
    const std::string t = dir.file("t/");
    EXPECT_THAT(*ListAllDirs(t),
                UnorderedElementsAre(t, t + "open/", t + "locked/", t + "open/sub/"));
}

TEST(ListAllDirs, OddNamesAreListedByteForByte) {
    TempDir dir;
    const std::string t = dir.file("t/");
    std::vector<std::string> expected = {t};
    for (const std::string name :
         {"new\nline", "star*", "q?", "back\\slash", "\xff\xfe", "[x]", " sp "}) {
        dir.mkdir("t/" + name + "/c");
        expected.insert(expected.end(), {t + name + "/", t + name + "/c/"});
    }
    EXPECT_THAT(*ListAllDirs(t), UnorderedElementsAreArray(expected));
}

TEST(ListAllDirs, PathsLongerThanTheSystemAllowsAreWalkedSearchedAndLookedUp) {
    using katalox::platform::FindOperation;
    using katalox::platform::FindRequest;
    TempDir dir;
    const std::string name(200, 'n');
    const std::string start = dir.mkdir("deep") + "/";
    const int fd = ::open(start.c_str(), O_RDONLY | O_DIRECTORY);
    makeChain(fd, name, 30); // about 6,000 bytes deep
    const auto list = ListAllDirs(start);
    // Each entry is its parent's whole text and one more level, down to the bottom.
    ASSERT_EQ(list->size(), 31u);
    for (std::size_t i = 1; i < list->size(); ++i)
        EXPECT_EQ((*list)[i], (*list)[i - 1] + name + "/");
    const std::string bottom = list->back();
    ASSERT_GT(bottom.size(), 6000u);
    // The search finds the file at the bottom, with its size, and the insert's lookup too.
    FindOperation find(bottom + "*.TXT", FindRequest::AnyKind);
    ASSERT_TRUE(find.next());
    EXPECT_EQ(find.name(), "DEEP.TXT");
    EXPECT_EQ(find.size(), 5u);
    const auto found = FindOperation::lookUp(bottom + "DEEP.TXT");
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->size, 5u);
    // A file gone since the scan is still just not found.
    EXPECT_FALSE(FindOperation::lookUp(bottom + "GONE.TXT").has_value());
    removeChain(fd, name);
    ::close(fd);
}

TEST(ListAllDirs, SearchReusesTheWalksListingOnlyWhileTheFolderIsUnchanged) {
    using katalox::platform::FindOperation;
    using katalox::platform::FindRequest;
    TempDir dir;
    dir.write("t/f1.txt", "12345");
    dir.write("t/f2.doc");
    dir.write("t/s/g.txt");
    dir.write("fresh/h.txt");
    const timespec hourAgo[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
    for (const char* folder : {"t", "t/s"})
        ::utimensat(AT_FDCWD, dir.file(folder).c_str(), hourAgo, 0);
    auto descriptors = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
    };
    // Steps through an enumeration; tells whether it had to open the folder itself.
    auto search = [&](const std::string& pattern, std::vector<std::string>& names) {
        const auto before = descriptors();
        FindOperation find(pattern, FindRequest::AnyKind);
        bool opened = false, first = true;
        names.clear();
        while (find.next()) {
            if (first)
                opened = descriptors() > before; // before any stat of an entry
            first = false;
            if (!find.isDirectory())
                names.push_back(find.name() + ":" + std::to_string(find.size()));
        }
        return opened;
    };
    std::vector<std::string> names;
    ListAllDirs(dir.file("t/"));
    ListAllDirs(dir.file("fresh/"));
    EXPECT_TRUE(search(dir.file("t/*.*"), names)); // the next walk forgot what the first kept
    ListAllDirs(dir.file("t/"));
    dir.write("t/s/new.txt");
    EXPECT_FALSE(search(dir.file("t/*.txt"), names)); // kept by the walk and unchanged
    EXPECT_THAT(names, ElementsAre("f1.txt:5"));
    EXPECT_TRUE(search(dir.file("t/*.*"), names)); // each listing is used once
    EXPECT_THAT(names, UnorderedElementsAre("f1.txt:5", "f2.doc:0"));
    EXPECT_TRUE(search(dir.file("t/s/*.*"), names)); // changed after the walk: read afresh
    EXPECT_THAT(names, UnorderedElementsAre("g.txt:0", "new.txt:0"));
    ListAllDirs(dir.file("fresh/"));
    EXPECT_TRUE(search(dir.file("fresh/*.*"), names)); // changed just before the walk
    EXPECT_THAT(names, ElementsAre("h.txt:0"));
}

TEST(ListAllDirs, RelativeStartTextListsNothingBelowIt) {
    TempDir dir;
    dir.mkdir("sub/x");
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const auto list = ListAllDirs("sub/");
    std::filesystem::current_path(previous);
    EXPECT_THAT(*list, ElementsAre("sub/"));
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
