#include "ScanWindowFixture.h"

#include <QApplication>
#include <QResizeEvent>

namespace {

struct Expected {
    const char* name;
    QRect geometry;
    const char* text;
};

} // namespace

TEST_F(ScanWindowTest, ControlsHaveTheirNamesPlacesAndCaptions) {
    EXPECT_EQ(form->objectName(), QStringLiteral("Form2"));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Scan For Files"));
    EXPECT_EQ(form->size(), QSize(438, 457));
    EXPECT_EQ(form->font().pixelSize(), 11);

    const Expected expected[] = {
        {"Label1", {8, 8, -1, 13}, "Scan For File Name(* for All)"},
        {"Edit1", {8, 24, 161, 21}, "*"},
        {"Label2", {184, 8, -1, 13}, "File Pattern:(* for all)"},
        {"Edit2", {184, 24, 33, 21}, "*"},
        {"BitBtn2", {296, 22, 131, 25}, "Scan for Files"},
        {"Label3", {8, 48, -1, 13}, "New Disk ID"},
        {"Edit3", {8, 64, 161, 21}, ""},
        {"Label6", {184, 48, -1, 13}, "Start Dir:"},
        {"ComboBox1", {184, 64, 97, 21}, "/"},
        {"BitBtn1", {296, 62, 129, 25}, "Insert To DataBase"},
        {"Label4", {8, 96, -1, 13}, "Status:"},
        {"Label5", {48, 96, -1, 13}, "    Idle     "},
        {"ItemsCount", {-1, 96, -1, 13}, "Items Count:"},
        {"ShellTreeView1", {8, 112, 161, 305}, nullptr},
        {"ProgressBar1", {8, 425, 414, 17}, nullptr},
    };
    for (const Expected& e : expected) {
        QWidget* widget = control<QWidget>(e.name);
        ASSERT_NE(widget, nullptr);
        const QRect geometry = widget->geometry();
        if (e.geometry.width() >= 0) {
            EXPECT_EQ(geometry, e.geometry) << e.name;
        } else { // a label sized to its text; x -1: the right edge is kept, checked below
            if (e.geometry.x() >= 0) {
                EXPECT_EQ(geometry.x(), e.geometry.x()) << e.name;
            }
            EXPECT_EQ(geometry.y(), e.geometry.y()) << e.name;
            EXPECT_EQ(geometry.height(), e.geometry.height()) << e.name;
            EXPECT_GE(geometry.width(), widget->fontMetrics().horizontalAdvance(
                                            qobject_cast<QLabel*>(widget)->text()))
                << e.name;
        }
        if (!e.text)
            continue;
        QString text;
        if (auto* l = qobject_cast<QLabel*>(widget))
            text = l->text();
        else if (auto* le = qobject_cast<QLineEdit*>(widget))
            text = le->text();
        else if (auto* b = qobject_cast<QPushButton*>(widget))
            text = b->text();
        else if (auto* c = qobject_cast<QComboBox*>(widget))
            text = c->currentText();
        EXPECT_EQ(text, QString::fromUtf8(e.text)) << e.name;
    }

    EXPECT_EQ(label("ItemsCount")->geometry().right(), 358 + 59 - 1);
    EXPECT_GE(label("ItemsCount")->width(), 59);

    auto* combo = control<QComboBox>("ComboBox1");
    EXPECT_FALSE(combo->isEnabled());
    ASSERT_EQ(combo->count(), 1);
    EXPECT_EQ(combo->itemText(0), QStringLiteral("/"));
    EXPECT_EQ(label("ItemsCount")->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    EXPECT_EQ(progress()->minimum(), 0);
    EXPECT_EQ(progress()->maximum(), 100);
    EXPECT_EQ(progress()->value(), 0);
    // The list follows the window's outer size (client size plus the frame).
    auto* list = control<QTableView>("ListBox1");
    EXPECT_EQ(list->geometry(), QRect(184, 112, 236, 308));
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);

    QLabel* status = label("Label5");
    EXPECT_TRUE(status->autoFillBackground());
    EXPECT_EQ(status->palette().color(QPalette::Window), QColor(0, 128, 0));
    EXPECT_EQ(status->palette().color(QPalette::WindowText),
              QApplication::palette().color(QPalette::Base));
}

TEST_F(ScanWindowTest, TabOrderFollowsTheLayout) {
    const QStringList order{"Edit1",     "Edit2",    "Edit3",          "BitBtn1",     "BitBtn2",
                            "ComboBox1", "ListBox1", "ShellTreeView1", "ProgressBar1"};
    QStringList chain;
    QWidget* widget = control<QWidget>("Edit1");
    for (int i = 0; i < 200 && chain.size() < order.size(); ++i) {
        if (order.contains(widget->objectName()) && !chain.contains(widget->objectName()))
            chain << widget->objectName();
        widget = widget->nextInFocusChain();
    }
    EXPECT_EQ(chain, order);
}

TEST_F(ScanWindowTest, ResizingMovesAnchoredControlsAndResizesTheList) {
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
