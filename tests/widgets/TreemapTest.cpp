#include "widgets/FileKinds.h"
#include "widgets/TreemapLayout.h"
#include "widgets/TreemapView.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using katalox::widgets::FileKind;
using katalox::widgets::fileKindOf;
using katalox::widgets::fileKindText;
using katalox::widgets::squarifiedLayout;
using katalox::widgets::TreemapEntry;
using katalox::widgets::TreemapView;

namespace {

double area(const QRectF& r) {
    return r.width() * r.height();
}

// Every positive size gets a rectangle inside the bounds, none overlap, they cover the bounds,
// and each area is the same fraction of its size.
void expectTiling(const std::vector<double>& sizes, const QRectF& bounds) {
    const std::vector<QRectF> rects = squarifiedLayout(sizes, bounds);
    ASSERT_EQ(rects.size(), sizes.size());
    const double eps = 1e-9 * area(bounds);
    double total = 0;
    double sizeTotal = 0;
    for (double s : sizes)
        sizeTotal += s > 0 ? s : 0;
    for (std::size_t i = 0; i < rects.size(); ++i) {
        const QRectF& r = rects[i];
        if (sizes[i] <= 0) {
            EXPECT_TRUE(r.isEmpty()) << i;
            continue;
        }
        EXPECT_GE(r.left(), bounds.left() - 1e-9) << i;
        EXPECT_GE(r.top(), bounds.top() - 1e-9) << i;
        EXPECT_LE(r.right(), bounds.right() + 1e-9) << i;
        EXPECT_LE(r.bottom(), bounds.bottom() + 1e-9) << i;
        const double expected = sizes[i] / sizeTotal * area(bounds);
        EXPECT_NEAR(area(r) / expected, 1.0, 1e-6) << i;
        total += area(r);
        for (std::size_t j = i + 1; j < rects.size(); ++j)
            EXPECT_LE(area(r.intersected(rects[j])), eps) << i << " overlaps " << j;
    }
    EXPECT_NEAR(total, area(bounds), eps);
}

} // namespace

TEST(TreemapLayout, TilesItsBoundsInProportion) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> any(0.0, 1000.0);
    std::vector<double> mixed(300);
    for (std::size_t i = 0; i < mixed.size(); ++i)
        mixed[i] = i % 17 == 0 ? 0.0 : any(random);
    mixed[5] = -3.0;
    expectTiling(mixed, QRectF(10, 20, 800, 600));
    expectTiling(mixed, QRectF(0, 0, 37, 900)); // tall and narrow

    std::vector<double> huge(250, 1.0);
    huge[123] = 1e9;
    expectTiling(huge, QRectF(0, 0, 640, 480));

    const std::vector<double> equal(200, 42.0);
    expectTiling(equal, QRectF(0, 0, 300, 300));
    // Squarified, not sliced: equal items in a square come out close to square.
    for (const QRectF& r : squarifiedLayout(equal, QRectF(0, 0, 300, 300)))
        EXPECT_LT(std::max(r.width() / r.height(), r.height() / r.width()), 2.0);
}

TEST(TreemapLayout, SingleItemEmptyInputAndDegenerateBounds) {
    const std::vector<QRectF> one = squarifiedLayout({5.0}, QRectF(3, 4, 50, 60));
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0], QRectF(3, 4, 50, 60));

    EXPECT_TRUE(squarifiedLayout({}, QRectF(0, 0, 10, 10)).empty());
    for (const QRectF& bounds : {QRectF(0, 0, 0, 100), QRectF(0, 0, 100, 0), QRectF()}) {
        const std::vector<QRectF> rects = squarifiedLayout({1.0, 2.0}, bounds);
        ASSERT_EQ(rects.size(), 2u);
        EXPECT_TRUE(rects[0].isEmpty() && rects[1].isEmpty());
    }
    const std::vector<QRectF> zeros = squarifiedLayout({0.0, 0.0}, QRectF(0, 0, 10, 10));
    EXPECT_TRUE(zeros[0].isEmpty() && zeros[1].isEmpty());
}

TEST(FileKinds, KindByLastExtensionIgnoringCase) {
    EXPECT_EQ(fileKindOf("Holiday.JPG"), FileKind::Image);
    EXPECT_EQ(fileKindOf("backup.tar.gz"), FileKind::Archive);
    EXPECT_EQ(fileKindOf("gz.notes"), FileKind::Other);
    EXPECT_EQ(fileKindOf("main.Cpp"), FileKind::Code);
    EXPECT_EQ(fileKindOf("README"), FileKind::Other);
    EXPECT_EQ(fileKindOf(".mp3"), FileKind::Other); // a dotfile, not an extension
    EXPECT_EQ(fileKindOf("song."), FileKind::Other);
    EXPECT_EQ(fileKindOf("caf\xe9.\xc9MP3"), FileKind::Other); // Latin-1 bytes, not folded
    EXPECT_EQ(fileKindOf("caf\xe9.mp3"), FileKind::Audio);

    EXPECT_EQ(fileKindText("clip.ts"), QStringLiteral("Video"));
    EXPECT_EQ(fileKindText("lib.rs"), QStringLiteral("Source code"));
    EXPECT_EQ(fileKindText("data.dat"), QStringLiteral("DAT file"));
    EXPECT_EQ(fileKindText("Makefile"), QStringLiteral("File"));
    EXPECT_EQ(fileKindText(".bashrc"), QStringLiteral("File"));
}

TEST(TreemapView, ClickReportsTheKeyOfTheRectangleUnderIt) {
    TreemapView view;
    std::vector<TreemapEntry> entries;
    for (int i = 0; i < 6; ++i)
        entries.push_back({QString::number(i),
                           QString::number(i),
                           double(6 - i),
                           FileKind::Other,
                           false,
                           100 + i,
                           {}});
    entries[2].size = 0; // gets no rectangle
    view.setEntries(entries);
    view.resize(400, 300);
    view.show();
    QSignalSpy activated(&view, &TreemapView::entryActivated);

    for (int index : {0, 4}) {
        const QRectF r = view.entryRect(index);
        ASSERT_FALSE(r.isEmpty());
        QTest::mouseClick(&view, Qt::LeftButton, {}, r.center().toPoint());
        ASSERT_EQ(activated.count(), 1);
        EXPECT_EQ(activated.takeFirst().at(0).toInt(), 100 + index);
    }
    EXPECT_TRUE(view.entryRect(2).isEmpty());
    QTest::mouseClick(&view, Qt::RightButton, {}, view.entryRect(0).center().toPoint());
    EXPECT_EQ(activated.count(), 0);
}

TEST(TreemapView, PaintsManyEntriesColouredByKind) {
    TreemapView view;
    std::vector<TreemapEntry> entries(10000, {"f", "/f", 1.0, FileKind::Image, false, 0, {}});
    entries[0] = {"big", "/big", 20000.0, FileKind::Image, true, 0, {}}; // a folder wins over kind
    view.setEntries(std::move(entries));
    view.resize(400, 300);
    const QImage image = view.grab().toImage();
    const QPoint centre = view.entryRect(0).center().toPoint();
    EXPECT_EQ(image.pixelColor(centre), katalox::widgets::fileKindColour(FileKind::Folder));
}
