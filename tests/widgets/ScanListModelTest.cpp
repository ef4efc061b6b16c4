#include "widgets/ScanListModel.h"
#include "platform/Error.h"
#include "widgets/CheckedProgressBar.h"

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QSignalSpy>
#include <gtest/gtest.h>

using katalox::widgets::ScanListModel;

TEST(ScanListModel, AppendedLinesBecomeRowsInOneBatchPerEventLoopTurn) {
    ScanListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);

    model.append("/a/1");
    model.append("/a/2");
    model.append("/a/3");
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.lineCount(), 3u);

    QCoreApplication::processEvents();
    EXPECT_EQ(model.rowCount(), 3);
    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(inserted[0][1].toInt(), 0);
    EXPECT_EQ(inserted[0][2].toInt(), 2);

    model.append("/a/4");
    model.flush();
    EXPECT_EQ(model.rowCount(), 4);
    QCoreApplication::processEvents(); // the queued batch finds nothing left to add
    EXPECT_EQ(inserted.count(), 2);
    EXPECT_EQ(model.data(model.index(3)).toString(), QStringLiteral("/a/4"));
}

TEST(ScanListModel, LinesStayWholeAcrossTheStorageChunks) {
    // Enough lines of varied length to fill several megabyte chunks, one of them longer than
    // a chunk on its own, and an empty one.
    ScanListModel model;
    std::vector<std::string> lines;
    for (int i = 0; i < 40000; ++i)
        lines.push_back("/folder/" + std::string(static_cast<std::size_t>(i % 97), 'x') +
                        std::to_string(i));
    lines.insert(lines.begin() + 20000, std::string(1536 * 1024, 'L'));
    lines.insert(lines.begin() + 30000, std::string());
    for (const std::string& line : lines)
        model.append(line);
    ASSERT_EQ(model.lineCount(), lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i)
        ASSERT_EQ(model.line(i), lines[i]) << "line " << i;
}

TEST(ScanListModel, KeepsEveryLineByteForByteAndShowsItReadably) {
    ScanListModel model;
    const std::string invalid = "/d/caf\xe9.txt";
    const std::string newline = "/d/two\nlines";
    const std::string wild = "/d/a*b?c\\d";
    for (const std::string& line : {invalid, newline, wild, std::string("/d/Été.mp3")})
        model.append(line);
    model.flush();

    EXPECT_EQ(model.line(0), invalid);
    EXPECT_EQ(model.line(1), newline);
    EXPECT_EQ(model.line(2), wild);
    EXPECT_EQ(model.data(model.index(0)).toString(), QString::fromUtf8("/d/caf\uFFFD.txt"));
    EXPECT_EQ(model.data(model.index(1)).toString(), QString::fromUtf8("/d/two\uFFFDlines"));
    EXPECT_EQ(model.data(model.index(2)).toString(), QStringLiteral("/d/a*b?c\\d"));
    EXPECT_EQ(model.data(model.index(3)).toString(), QString::fromUtf8("/d/Été.mp3"));
    EXPECT_FALSE(model.data(model.index(0), Qt::EditRole).isValid());
}

TEST(ScanListModel, ClearRemovesShownAndPendingLines) {
    ScanListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.append("/x/1");
    model.flush();
    model.append("/x/2");
    model.clear();
    QCoreApplication::processEvents();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.lineCount(), 0u);

    model.append("/y/1");
    model.flush();
    EXPECT_EQ(model.line(0), "/y/1");
    EXPECT_EQ(model.rowCount(), 1);
}

TEST(CheckedProgressBar, RefusesAMaximumBelowItsMinimumAndKeepsItsRange) {
    katalox::widgets::CheckedProgressBar bar;
    bar.setRange(0, 100);
    bar.setPosition(40, katalox::widgets::CheckedProgressBar::Redraw::Now);
    EXPECT_THROW(bar.setMaximumChecked(-1), katalox::Error);
    EXPECT_EQ(bar.minimum(), 0);
    EXPECT_EQ(bar.maximum(), 100);
    EXPECT_EQ(bar.value(), 40);

    bar.setMaximumChecked(10); // the position moves down to a smaller maximum
    EXPECT_EQ(bar.value(), 10);
    bar.setMaximumChecked(0); // equal to the minimum is allowed
    EXPECT_EQ(bar.maximum(), 0);
    EXPECT_EQ(bar.value(), 0);
    bar.setMaximumChecked(7);
    bar.setPosition(7, katalox::widgets::CheckedProgressBar::Redraw::Pending);
    EXPECT_EQ(bar.value(), 7);
}

TEST(CheckedProgressBar, StepsTooSmallToShowWaitForALaterStepOrShowPosition) {
    using Redraw = katalox::widgets::CheckedProgressBar::Redraw;
    katalox::widgets::CheckedProgressBar bar;
    bar.resize(100, 17);
    bar.setRange(0, 100000);
    bar.setValue(0);
    bar.setPosition(50, Redraw::Now); // a twentieth of a pixel
    EXPECT_EQ(bar.value(), 0);
    bar.setPosition(2000, Redraw::Now); // two pixels
    EXPECT_EQ(bar.value(), 2000);
    bar.setPosition(2010, Redraw::Now);
    bar.showPosition();
    EXPECT_EQ(bar.value(), 2010);
    bar.setPosition(100000, Redraw::Now); // the end always shows
    EXPECT_EQ(bar.value(), 100000);
    bar.setPosition(7, Redraw::Pending); // a loop that lets events run sets it exactly
    EXPECT_EQ(bar.value(), 7);
}
