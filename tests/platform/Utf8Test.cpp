#include "platform/Utf8.h"

#include <QString>
#include <gtest/gtest.h>

using namespace katalox::platform;

TEST(UpperCase, MapsLettersOfValidUtf8AndKeepsOtherBytes) {
    EXPECT_EQ(upperCase("report_2024.doc äöü éñ αβγ жёлтый x😀y"),
              "REPORT_2024.DOC ÄÖÜ ÉÑ ΑΒΓ ЖЁЛТЫЙ X😀Y");
    EXPECT_EQ(upperCase("ı"), "I"); // the result may be shorter in bytes
    // Invalid, overlong, surrogate, cut short, lone Latin-1 byte: each byte stays as it is.
    EXPECT_EQ(upperCase("a\xff"
                        "b\xc0\xaf"
                        "c\xed\xa0\x80"
                        "d\xc3"
                        "e\xe4"),
              "A\xff"
              "B\xc0\xaf"
              "C\xed\xa0\x80"
              "D\xc3"
              "E\xe4");
    EXPECT_EQ(upperCase("a\xc3"), "A\xc3");
}

// The catalogue's upper-casing must stay the one stored paths were written with: Qt's mapping.
TEST(UpperCase, AgreesWithQtForEveryCodePoint) {
    for (char32_t code = 0x80; code <= 0x10FFFF; ++code) {
        if (code >= 0xD800 && code <= 0xDFFF)
            continue;
        const char32_t upper = QChar::toUpper(code);
        ASSERT_EQ(upperCase(QString::fromUcs4(&code, 1).toStdString()),
                  QString::fromUcs4(&upper, 1).toStdString())
            << static_cast<unsigned>(code);
    }
}

TEST(Characters, CountAndSliceByUtf8Characters) {
    EXPECT_EQ(characterCount("aé€😀"), 4u);
    EXPECT_EQ(characterCount("a\xff\xfe"), 3u);
    EXPECT_EQ(characterSlice("aé€😀", 1, 2), "é€");
    EXPECT_EQ(characterSlice("aé€😀", 3, 10), "😀");
    EXPECT_EQ(characterSlice("aé€😀", 9, 1), "");
    EXPECT_EQ(characterSlice("\xff"
                             "é",
                             0, 1),
              "\xff");
}
