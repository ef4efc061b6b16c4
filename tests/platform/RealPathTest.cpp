#include "platform/RealPath.h"
#include "common/TempDir.h"
#include "platform/Utf8.h"

#include <gtest/gtest.h>

using katalox::platform::realPathOf;
using katalox::platform::realPathUnder;
using katalox::platform::upperCase;
using katalox::test::TempDir;

TEST(RealPath, FindsMixedCaseAndNonUtf8NamesFromTheirUpperCasedForm) {
    TempDir dir;
    for (const char* file : {"Music/Rock/Song.mp3",
                             "\xC3\xA9t\xC3\xA9/\xC3\x87"
                             "a.txt",
                             "caf\xE9/R\xE9sum\xE9.Doc", "plain/README"}) {
        const std::string real = dir.write(file);
        EXPECT_EQ(realPathOf(upperCase(real)), real) << file;
    }
    EXPECT_EQ(realPathUnder(dir.path(), "MUSIC/ROCK/"), dir.file("Music/Rock"));
    EXPECT_EQ(realPathUnder(dir.path(), ""), dir.path());
}

TEST(RealPath, AmongNamesDifferingInCaseTheExactOneComesFirstThenAnyThatLeadsOn) {
    TempDir dir;
    dir.write("DATA/b.txt");
    dir.write("Data/a.txt");
    dir.write("data/a.txt");
    EXPECT_EQ(realPathUnder(dir.path(), "DATA"), dir.file("DATA"));
    EXPECT_EQ(realPathUnder(dir.path(), "DATA/B.TXT"), dir.file("DATA/b.txt"));
    // Not in the exact folder: the first of the others in byte order that holds it.
    EXPECT_EQ(realPathUnder(dir.path(), "DATA/A.TXT"), dir.file("Data/a.txt"));
}

TEST(RealPath, NothingWhenAPartIsMissingOrNotAFolder) {
    TempDir dir;
    dir.write("Music/Song.mp3");
    EXPECT_EQ(realPathUnder(dir.path(), "MUSIC/JAZZ/SONG.MP3"), std::nullopt);
    EXPECT_EQ(realPathUnder(dir.path(), "MUSIC/SONG.MP3/X"), std::nullopt);
    EXPECT_EQ(realPathUnder(dir.file("Gone"), "MUSIC"), std::nullopt);
    EXPECT_EQ(realPathOf("MUSIC/SONG.MP3"), std::nullopt); // not absolute
}
