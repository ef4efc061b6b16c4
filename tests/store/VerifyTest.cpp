// Verifying a disk: files read whole against what the catalogue knows, what is found, and a
// verification killed part-way that keeps what it stored and goes on from there.
#include "CatalogFixture.h"

#include "common/FileBytes.h"
#include "common/TempDir.h"
#include "platform/ReadRightsDropped.h"
#include "store/catalog/Catalog.h"
#include "store/copies/DiskVerification.h"
#include "store/sqlite/Database.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace katalox::test {
namespace {

namespace fs = std::filesystem;

class VerifyTest : public ::testing::Test {
protected:
    VerifyTest() { store::createEmptyCatalog(file); }

    void insert(const std::string& folder) {
        store::Catalog catalog(file);
        const scanner::WalkRules rules{dir.file(folder) + "/", "*", "*"};
        const std::vector<std::string> paths = listedFiles(rules);
        catalog.insert({"D", rules, true}, paths.size(),
                       [&](std::size_t i) { return std::string_view(paths[i]); });
    }

    store::VerifyFigures
    verify(const std::function<bool(const store::VerifyFigures&)>& progress = {}) {
        store::Catalog catalog(file);
        store::DiskVerification verification(catalog, "D");
        return verification.run(progress);
    }

    std::map<std::string, store::VerifyFinding> findings() {
        store::Catalog catalog(file);
        std::map<std::string, store::VerifyFinding> found;
        for (const store::FoundProblem& problem :
             store::verifyFindings(catalog.database(), "Files", "D"))
            found[problem.storedPath.substr(problem.storedPath.rfind('/') + 1)] = problem.finding;
        return found;
    }

    std::int64_t count(const std::string& sql) { return OtherProgram(file).number(sql); }

    TempDir dir;
    const std::string file = dir.file("Files.db");
};

TEST_F(VerifyTest, FindsSilentChangesBeyondTheSamplesGoneUnreadableAndChangedFiles) {
    const std::string x = bytesOf(200000, 1);
    for (const char* name : {"same.bin", "silent.bin", "grown.bin", "gone.bin", "locked.bin"})
        dir.write(std::string("d/") + name, x + name);
    dir.write("d/empty.txt");
    insert("d");

    store::VerifyFigures first = verify();
    EXPECT_TRUE(first.finished);
    EXPECT_EQ(first.files, 6);
    EXPECT_EQ(first.filesChecked, 6);
    EXPECT_EQ(first.corrupted + first.gone + first.unreadable + first.modified, 0);
    // The whole hashes are kept, as xxhsum -H2 gives them; the empty file has nothing to hash.
    EXPECT_EQ(count("SELECT count(*) FROM \"Verified Files\" WHERE \"Hash\" IS NOT NULL"), 5);
    if (std::FILE* sum =
            ::popen(("xxhsum -H2 " + dir.file("d/same.bin") + " 2>/dev/null").c_str(), "r")) {
        char hex[33] = {};
        const bool read = std::fscanf(sum, "%32s", hex) == 1;
        ::pclose(sum);
        if (read) {
            EXPECT_EQ(
                count("SELECT count(*) FROM \"Verified Files\" WHERE lower(hex(\"Hash\")) = '" +
                      std::string(hex) + "'"),
                1);
        }
    }
    {
        store::Catalog catalog(file);
        const auto check = store::lastDiskCheck(catalog.database(), "D");
        ASSERT_TRUE(check && check->finished);
    }

    // A byte between the sampled parts: only the whole hash tells.
    flipByteKeepingTime(dir.file("d/silent.bin"), 30000);
    std::ofstream(dir.file("d/grown.bin"), std::ios::app) << "more";
    fs::remove(dir.file("d/gone.bin"));
    ::chmod(dir.file("d/locked.bin").c_str(), 0);
    ReadRightsDropped dropped;
    const store::VerifyFigures second = verify();
    EXPECT_TRUE(second.finished);
    EXPECT_EQ(second.corrupted, 1);
    EXPECT_EQ(second.gone, 1);
    EXPECT_EQ(second.modified, 1);
    std::map<std::string, store::VerifyFinding> expected{
        {"SILENT.BIN", store::VerifyFinding::Corrupted},
        {"GONE.BIN", store::VerifyFinding::Gone},
        {"GROWN.BIN", store::VerifyFinding::Modified}};
    if (dropped.active()) {
        EXPECT_EQ(second.unreadable, 1);
        expected["LOCKED.BIN"] = store::VerifyFinding::Unreadable;
    }
    EXPECT_EQ(findings(), expected);
    // The corrupted file keeps the hash of the content it had.
    flipByteKeepingTime(dir.file("d/silent.bin"), 30000);
    verify();
    EXPECT_EQ(findings().count("SILENT.BIN"), 0u);
}

TEST_F(VerifyTest, AKilledVerificationKeepsWhatItStoredAndGoesOn) {
    for (int i = 0; i < 4500; ++i)
        dir.write("d/f" + std::to_string(i), bytesOf(100, static_cast<unsigned>(i)));
    insert("d");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Killed once a batch is committed and more files are read.
        verify([](const store::VerifyFigures& figures) {
            if (figures.filesChecked > 4200)
                ::raise(SIGKILL);
            return true;
        });
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    const std::int64_t kept = count("SELECT count(*) FROM \"Verified Files\"");
    EXPECT_GE(kept, 4096);
    EXPECT_LT(kept, 4500);

    store::Catalog catalog(file);
    store::DiskVerification resumed(catalog, "D");
    EXPECT_TRUE(resumed.resuming());
    std::int64_t firstShown = -1;
    const store::VerifyFigures figures = resumed.run([&](const store::VerifyFigures& now) {
        if (firstShown < 0)
            firstShown = now.filesChecked;
        return true;
    });
    EXPECT_EQ(firstShown, kept);
    EXPECT_TRUE(figures.finished);
    EXPECT_EQ(figures.filesChecked, 4500);
    EXPECT_EQ(count("SELECT count(*) FROM \"Verified Files\""), 4500);
    // Stopped by the user, the next one goes on from there too; a finished one starts anew.
    store::DiskVerification again(catalog, "D");
    EXPECT_FALSE(again.resuming());
    EXPECT_EQ(again.run([](const store::VerifyFigures&) { return false; }).finished, false);
    store::DiskVerification afterStop(catalog, "D");
    EXPECT_TRUE(afterStop.resuming());
}

} // namespace
} // namespace katalox::test
