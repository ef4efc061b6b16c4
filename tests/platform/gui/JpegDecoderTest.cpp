#include "platform/gui/JpegDecoder.h"
#include "platform/Error.h"
#include "windows/WebAddresses.h"

#include <QColor>
#include <QFile>
#include <gtest/gtest.h>

#include <random>

using katalox::platform::decodeJpeg;

namespace {

QByteArray builtInPicture() {
    katalox::initAboutResources();
    QFile file(":/about/katalox-logo.jpg");
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

std::string decodeError(const QByteArray& data) {
    try {
        decodeJpeg(data);
    } catch (const katalox::Error& error) {
        return error.what();
    }
    return "decoded";
}

// Sets height and width in the frame header (SOF0: marker, length, precision, then the sizes).
QByteArray withFrameSize(QByteArray jpeg, int height, int width) {
    const qsizetype at = jpeg.indexOf(QByteArray("\xFF\xC0", 2)) + 5;
    const char sizes[] = {char(height >> 8), char(height), char(width >> 8), char(width)};
    return jpeg.replace(at, 4, sizes, 4);
}

} // namespace

TEST(JpegDecoder, DecodesTheBuiltInPictureAtItsOwnSizeAndColours) {
    const QImage image = decodeJpeg(builtInPicture());
    ASSERT_EQ(image.size(), QSize(40, 41));
    // JPEG is lossy: colours within a tolerance. Blue ground, the K's white stem, orange leg.
    const std::pair<QPoint, QColor> samples[] = {{{3, 20}, QColor(0x1F, 0x4E, 0x8C)},
                                                 {{12, 20}, Qt::white},
                                                 {{28, 30}, QColor(0xF2, 0xA5, 0x16)}};
    for (const auto& [point, expected] : samples) {
        const QRgb actual = image.pixel(point);
        EXPECT_NEAR(qRed(actual), expected.red(), 28);
        EXPECT_NEAR(qGreen(actual), expected.green(), 28);
        EXPECT_NEAR(qBlue(actual), expected.blue(), 28);
    }
}

TEST(JpegDecoder, DamagedDataGivesAnErrorNotACrash) {
    const QByteArray good = builtInPicture();
    for (const QByteArray& bad : {QByteArray(), QByteArray("not a picture"),
                                  QByteArray(5000, '\xFF'), withFrameSize(good, 41, 0)})
        EXPECT_EQ(decodeError(bad).rfind("Cannot decode the picture: ", 0), 0u);
    // Cut short anywhere: libjpeg alone would only warn and pad the rest with grey.
    for (qsizetype length = 0; length < good.size() - 2; length += 7)
        EXPECT_NE(decodeError(good.left(length)), "decoded") << "cut at " << length;
    // A header claiming 60000 x 60000 pixels is refused before anything is allocated.
    EXPECT_NE(decodeError(withFrameSize(good, 60000, 60000)).find("too large"), std::string::npos);

    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        QByteArray damaged = good;
        for (int flips = 0; flips <= round % 8; ++flips)
            damaged[random() % damaged.size()] = static_cast<char>(random());
        decodeError(damaged); // either outcome, but no crash and no exit
    }
    EXPECT_EQ(decodeJpeg(good).size(), QSize(40, 41)); // nothing left behind
}
