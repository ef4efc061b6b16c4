#include "platform/gui/JpegDecoder.h"
#include "app/WebAddresses.h"
#include "platform/Error.h"

#include <QColor>
#include <QFile>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

using katalox::platform::decodeJpeg;

namespace {

// Encodes a test picture with libjpeg: a horizontal ramp, red to the right, green downwards.
QByteArray encode(int width, int height, bool grey, bool progressive) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = width;
    info.image_height = height;
    info.input_components = grey ? 1 : 3;
    info.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    if (progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row(static_cast<size_t>(width) * info.input_components);
    while (info.next_scanline < info.image_height) {
        for (int x = 0; x < width; ++x) {
            const int red = x * 255 / (width - 1);
            const int green = static_cast<int>(info.next_scanline) * 255 / (height - 1);
            if (grey) {
                row[x] = static_cast<unsigned char>(red);
            } else {
                row[x * 3] = static_cast<unsigned char>(red);
                row[x * 3 + 1] = static_cast<unsigned char>(green);
                row[x * 3 + 2] = 64;
            }
        }
        JSAMPROW rows = row.data();
        jpeg_write_scanlines(&info, &rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray result(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(size));
    std::free(buffer);
    return result;
}

QByteArray builtInPicture() {
    katalox::initAboutResources();
    QFile file(":/about/katalox-logo.jpg");
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

// JPEG is lossy: colours are compared within a tolerance.
void expectNear(QRgb actual, QColor expected, int tolerance = 28) {
    EXPECT_NEAR(qRed(actual), expected.red(), tolerance);
    EXPECT_NEAR(qGreen(actual), expected.green(), tolerance);
    EXPECT_NEAR(qBlue(actual), expected.blue(), tolerance);
}

std::string decodeError(const QByteArray& data) {
    try {
        decodeJpeg(data);
    } catch (const katalox::Error& error) {
        return error.what();
    }
    return "decoded";
}

// Offset of the first byte after the SOF0 marker's length, precision: height, then width.
qsizetype frameSizeOffset(const QByteArray& jpeg) {
    const qsizetype marker = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
    return marker < 0 ? -1 : marker + 5;
}

} // namespace

TEST(JpegDecoder, DecodesTheBuiltInPictureAtItsOwnSizeAndColours) {
    const QByteArray data = builtInPicture();
    ASSERT_FALSE(data.isEmpty());
    ASSERT_TRUE(data.startsWith("\xFF\xD8"));
    const QImage image = decodeJpeg(data);
    ASSERT_EQ(image.size(), QSize(40, 41));
    expectNear(image.pixel(3, 20), QColor(0x1F, 0x4E, 0x8C));  // blue ground
    expectNear(image.pixel(12, 20), QColor(Qt::white));        // the K's stem
    expectNear(image.pixel(28, 30), QColor(0xF2, 0xA5, 0x16)); // its orange leg
}

TEST(JpegDecoder, DecodesColourGreyAndProgressivePicturesAsRgb) {
    for (const bool grey : {false, true}) {
        for (const bool progressive : {false, true}) {
            SCOPED_TRACE(testing::Message() << "grey " << grey << " progressive " << progressive);
            const QImage image = decodeJpeg(encode(64, 33, grey, progressive));
            ASSERT_EQ(image.size(), QSize(64, 33));
            // Left column dark, right column bright; grey pictures come out with equal channels.
            EXPECT_LT(qRed(image.pixel(0, 16)), 20);
            EXPECT_GT(qRed(image.pixel(63, 16)), 235);
            if (grey) {
                EXPECT_EQ(qRed(image.pixel(40, 10)), qGreen(image.pixel(40, 10)));
                EXPECT_EQ(qRed(image.pixel(40, 10)), qBlue(image.pixel(40, 10)));
            } else {
                EXPECT_LT(qGreen(image.pixel(30, 0)), 20);
                EXPECT_GT(qGreen(image.pixel(30, 32)), 235);
                EXPECT_NEAR(qBlue(image.pixel(30, 20)), 64, 12);
            }
        }
    }
}

TEST(JpegDecoder, DamagedDataGivesAnErrorNotACrash) {
    const QByteArray good = builtInPicture();
    const std::string prefix = "Cannot decode the picture: ";

    EXPECT_EQ(decodeError(QByteArray()).rfind(prefix, 0), 0u);
    EXPECT_EQ(decodeError("this is not a picture at all").rfind(prefix, 0), 0u);
    EXPECT_EQ(decodeError(QByteArray(5000, '\xFF')).rfind(prefix, 0), 0u);

    // Cut short at every length: libjpeg would only warn and pad with grey; we refuse it.
    for (qsizetype length = 0; length < good.size() - 2; length += 7)
        EXPECT_NE(decodeError(good.left(length)), "decoded") << "cut at " << length;

    // A frame header claiming no width.
    QByteArray noWidth = good;
    const qsizetype at = frameSizeOffset(noWidth);
    ASSERT_GT(at, 0);
    noWidth[at + 2] = 0;
    noWidth[at + 3] = 0;
    EXPECT_NE(decodeError(noWidth), "decoded");

    // The good picture still decodes after all that: no state is left behind.
    EXPECT_EQ(decodeJpeg(good).size(), QSize(40, 41));
}

TEST(JpegDecoder, HugeDimensionsAreRefusedBeforeAnyPixelIsAllocated) {
    QByteArray huge = encode(16, 16, false, false);
    const qsizetype at = frameSizeOffset(huge);
    ASSERT_GT(at, 0);
    huge[at] = '\xEA'; // height 60000
    huge[at + 1] = '\x60';
    huge[at + 2] = '\xEA'; // width 60000
    huge[at + 3] = '\x60';
    EXPECT_NE(decodeError(huge).find("too large"), std::string::npos);
}

TEST(JpegDecoder, RandomCorruptionNeverCrashes) {
    const QByteArray good = builtInPicture();
    std::srand(7);
    for (int round = 0; round < 300; ++round) {
        QByteArray damaged = good;
        for (int flips = 0; flips < 1 + round % 8; ++flips)
            damaged[std::rand() % damaged.size()] = static_cast<char>(std::rand() % 256);
        try {
            const QImage image = decodeJpeg(damaged);
            EXPECT_FALSE(image.isNull());
        } catch (const katalox::Error&) {
        }
    }
}
