#include "ScanWindowFixture.h"

#include <QApplication>

TEST_F(ScanWindowTest, StartsIdleWithTheRootAsStartFolder) {
    EXPECT_EQ(form->size(), QSize(438, 457));
    QLabel* status = label("Label5");
    EXPECT_EQ(status->text(), QStringLiteral("    Idle     "));
    EXPECT_TRUE(status->autoFillBackground());
    EXPECT_EQ(status->palette().color(QPalette::Window), QColor(0, 128, 0));
    EXPECT_EQ(status->palette().color(QPalette::WindowText),
              QApplication::palette().color(QPalette::Base));
    EXPECT_EQ(label("ItemsCount")->text(), QStringLiteral("Items Count:"));

    auto* combo = control<QComboBox>("ComboBox1");
    EXPECT_FALSE(combo->isEnabled());
    EXPECT_EQ(combo->currentText(), QStringLiteral("/"));
    ASSERT_EQ(combo->count(), 1);
    EXPECT_EQ(combo->itemText(0), QStringLiteral("/"));
    EXPECT_EQ(progress()->maximum(), 100);
    EXPECT_EQ(progress()->value(), 0);
}

TEST_F(ScanWindowTest, LabelsGrowWithTheirTextKeepingTheirAnchorEdge) {
    for (const char* name : {"Label1", "Label2", "Label3", "Label4", "Label5", "Label6"}) {
        QLabel* l = label(name);
        EXPECT_GE(l->width(), l->fontMetrics().horizontalAdvance(l->text())) << name;
    }
    EXPECT_EQ(label("Label1")->x(), 8);
    // The right-aligned count keeps its right edge as its text grows.
    label("ItemsCount")->setText(QStringLiteral("Items Count: 1234567"));
    form->FormResize();
    EXPECT_EQ(label("ItemsCount")->geometry().right(), 358 + 59 - 1);
    EXPECT_GE(label("ItemsCount")->width(),
              label("ItemsCount")->fontMetrics().horizontalAdvance(label("ItemsCount")->text()));
}

TEST_F(ScanWindowTest, ResizingMovesAnchoredControlsAndResizesTheList) {
    // The list follows the window's outer size (client size plus the frame).
    EXPECT_EQ(control<QTableView>("ListBox1")->geometry(), QRect(184, 112, 236, 308));
    form->show();
    form->resize(538, 557);
    EXPECT_EQ(control<QTableView>("ListBox1")->geometry(), QRect(184, 112, 336, 408));
    EXPECT_EQ(control<QWidget>("BitBtn2")->geometry(), QRect(396, 22, 131, 25));
    EXPECT_EQ(control<QWidget>("BitBtn1")->geometry(), QRect(396, 62, 129, 25));
    EXPECT_EQ(control<QWidget>("ComboBox1")->geometry(), QRect(184, 64, 197, 21));
    EXPECT_EQ(control<QWidget>("ShellTreeView1")->geometry(), QRect(8, 112, 161, 405));
    EXPECT_EQ(control<QWidget>("ProgressBar1")->geometry(), QRect(8, 525, 514, 17));
    EXPECT_EQ(label("ItemsCount")->geometry().right(), 358 + 59 - 1 + 100);
    EXPECT_EQ(control<QWidget>("Edit1")->geometry(), QRect(8, 24, 161, 21));
}

TEST_F(ScanWindowTest, FirstShownCentredOnTheMainWindowThenKeepsWhereTheUserPutsIt) {
    QWidget mainWindow;
    mainWindow.setObjectName("Form1");
    mainWindow.setGeometry(100, 100, 772, 448);
    mainWindow.show();
    form->show();
    EXPECT_LE(
        (form->frameGeometry().center() - mainWindow.frameGeometry().center()).manhattanLength(),
        2);
    form->hide();
    form->move(20, 30);
    form->show();
    EXPECT_EQ(form->pos(), QPoint(20, 30));
}
