#include "MainWindowFixture.h"

#include "platform/gui/ShellOpen.h"
#include "store/dataset/DataSource.h"
#include "widgets/DBGrid.h"
#include "widgets/ShellTreeView.h"
#include "widgets/WindowHelpers.h"
#include "windows/Forms.h"
#include "windows/TForm10.h"
#include "windows/TForm2.h"
#include "windows/TForm3.h"
#include "windows/WebAddresses.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

using katalox::test::MainWindowFixture;
using katalox::test::Record;

namespace {

struct Control {
    const char* name;
    const char* kind;
    QRect geometry;
    QString caption;
};

QString captionOf(QWidget* widget) {
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text();
    if (auto* box = qobject_cast<QGroupBox*>(widget))
        return box->title();
    if (auto* button = qobject_cast<QToolButton*>(widget))
        return button->text();
    if (auto* edit = qobject_cast<QLineEdit*>(widget))
        return edit->text();
    if (auto* combo = qobject_cast<QComboBox*>(widget))
        return combo->currentText();
    return {};
}

// "name=caption" of each item, marked when disabled.
QStringList menuItems(const QWidget* menu) {
    QStringList items;
    for (const QAction* action : menu->actions())
        items << action->objectName() + "=" + action->text() +
                     (action->isEnabled() ? "" : " (disabled)");
    return items;
}

class MainWindowTest : public MainWindowFixture {};

// The other three windows, for the commands that show them, and the last address handed to
// the browser.
struct OtherWindows {
    OtherWindows() {
        Form2 = new TForm2;
        Form3 = new TForm3;
        Form10 = new TForm10;
        katalox::platform::setShellOpenHook([this](const QString& address) { opened = address; });
    }
    ~OtherWindows() {
        katalox::platform::setShellOpenHook({});
        delete Form2;
        delete Form3;
        delete Form10;
        Form2 = nullptr;
        Form3 = nullptr;
        Form10 = nullptr;
    }
    QString opened;
};

TEST_F(MainWindowTest, ControlsHaveTheirNamesKindsPlacesAndCaptions) {
    const Control controls[] = {
        {"Bevel1", "QFrame", {8, 6, 169, 39}, ""},
        {"Label1", "QLabel", {16, 14, 153, 27}, "Selected : All Disks"},
        {"Shape1", "QFrame", {8, 48, 169, 9}, ""},
        {"SpeedButton1", "QToolButton", {184, 6, 121, 38}, "New Scan"},
        {"GroupBox1", "QGroupBox", {312, 0, 169, 45}, "Find File (Press Enter To Search)"},
        {"Edit1", "QLineEdit", {320, 16, 153, 21}, ""},
        {"GroupBox2", "QGroupBox", {488, 0, 89, 45}, "File Mask"},
        {"ComboBox1", "QComboBox", {8, 16, 65, 21}, ""},
        {"GroupBox3", "QGroupBox", {592, 0, 169, 45}, "Find In FilePath (Enter to Search)"},
        {"Edit2", "QLineEdit", {600, 16, 153, 21}, ""},
        // These two labels size themselves to their text; only their places are fixed.
        {"Label2", "QLabel", {184, 48, 0, 0}, "Record Count: "},
        {"Label3", "QLabel", {336, 48, 0, 0}, "Size :"},
        {"TreeView1", "QTreeWidget", {8, 64, 169, 369}, ""},
        {"DBGrid1", "QTableView", {184, 64, 573, 369}, ""},
    };
    EXPECT_EQ(form.objectName(), "Form1");
    EXPECT_EQ(form.windowTitle(), "Katalox 1.2");
    for (const Control& control : controls) {
        SCOPED_TRACE(control.name);
        auto* widget = form.findChild<QWidget*>(control.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_TRUE(widget->inherits(control.kind));
        if (control.geometry.isEmpty()) {
            EXPECT_EQ(widget->pos(), control.geometry.topLeft());
            EXPECT_EQ(widget->size(), widget->sizeHint());
        } else {
            EXPECT_EQ(widget->geometry(), control.geometry);
        }
        EXPECT_EQ(captionOf(widget), control.caption);
        EXPECT_EQ(widget->font().pixelSize(), 11);
    }
    EXPECT_EQ(form.ComboBox1->parentWidget()->objectName(), "GroupBox2");
    EXPECT_EQ(form.Edit1->parentWidget(), form.centralWidget()) << "over the frame, not in it";
    EXPECT_TRUE(form.ComboBox1->isEditable());
    QStringList masks;
    for (int i = 0; i < form.ComboBox1->count(); ++i)
        masks << form.ComboBox1->itemText(i);
    EXPECT_EQ(masks, (QStringList{"AVI", "MPG", "MPEG", "Mp3", "ZIP", "JPG", "BMP", "EXE", "BAT",
                                  "COM", "RAR", "ARJ"}));
    EXPECT_EQ(form.findChild<QToolButton*>("SpeedButton1")->focusPolicy(), Qt::NoFocus);
    EXPECT_TRUE(form.Label1->wordWrap());
    EXPECT_EQ(form.TreeView1->indentation(), 19);
    EXPECT_EQ(form.TreeView1->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(form.DBGrid1->palette().color(QPalette::Base), QColor(255, 251, 240));
    EXPECT_EQ(form.findChild<QWidget*>("Shape1")->palette().color(QPalette::Window),
              QColor(255, 251, 240));
}

TEST_F(MainWindowTest, ClientAreaTabOrderAndStartingFocus) {
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(form.centralWidget()->size(), QSize(772, 448));
    EXPECT_EQ(form.focusWidget(), form.DBGrid1);

    const QStringList wanted{"DBGrid1", "TreeView1", "Edit1", "ComboBox1", "Edit2"};
    QStringList order;
    QWidget* widget = form.DBGrid1;
    for (int steps = 0; steps < 200 && order.size() < wanted.size(); ++steps) {
        if (wanted.contains(widget->objectName()) && !order.contains(widget->objectName()))
            order << widget->objectName();
        widget = widget->nextInFocusChain();
    }
    EXPECT_EQ(order, wanted);
}

TEST_F(MainWindowTest, EnlargingGrowsTheGridBothWaysAndTheTreeInHeightOnly) {
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const QRect edit1 = form.Edit1->geometry();
    const QRect label2 = form.Label2->geometry();
    form.resize(form.width() + 100, form.height() + 50);
    QCoreApplication::processEvents();
    EXPECT_EQ(form.centralWidget()->size(), QSize(872, 498));
    EXPECT_EQ(form.DBGrid1->geometry(), QRect(184, 64, 673, 419));
    EXPECT_EQ(form.TreeView1->geometry(), QRect(8, 64, 169, 419));
    EXPECT_EQ(form.Edit1->geometry(), edit1);
    EXPECT_EQ(form.Label2->geometry(), label2);
}

TEST_F(MainWindowTest, MainMenuItemsAndPopupMenus) {
    auto* bar = form.findChild<QMenuBar*>("MainMenu1");
    ASSERT_NE(bar, nullptr);
    QStringList titles;
    for (QAction* action : bar->actions())
        titles << action->menu()->objectName() + "=" + action->text();
    // The window's first menus, then those of ours.
    EXPECT_EQ(titles,
              (QStringList{"Main1=Main", "Options1=Options", "About1=About", "copiesMenu=Copies"}));
    EXPECT_EQ(menuItems(form.findChild<QMenu*>("copiesMenu")),
              (QStringList{"copies=Copies...", "scanSettings=Scan Settings..."}));

    EXPECT_EQ(menuItems(form.findChild<QMenu*>("Main1")),
              (QStringList{"Configuration1=Configuration", "Exit1=Exit"}));
    EXPECT_EQ(menuItems(form.findChild<QMenu*>("Options1")),
              (QStringList{"RenameSelectedDiskID1=Rename Selected Disk ID",
                           "N2=----------------- (disabled)",
                           "DeleteAllEmptyDatabase1=Delete Specific Entry",
                           "DeleteCatalog1=Delete Selected Disk ID from database",
                           "DeleteEntries1=Delete All - Empty Database",
                           "N1=------------ (disabled)", "NewScan1=New Data Scan"}));
    EXPECT_EQ(menuItems(form.findChild<QMenu*>("About1")),
              (QStringList{"WebHelp1=Web Help", "Developerinfo1=Developer info"}));
    EXPECT_EQ(form.PopupMenu1->objectName(), "PopupMenu1");
    // Our own items follow the grid's own one, after a separator.
    EXPECT_EQ(menuItems(form.PopupMenu1),
              (QStringList{"DeleteThisEntry1=Delete This Entry", "=",
                           "openContainingFolder=Open Containing Folder", "copyPath=Copy Path",
                           "openFile=Open File", "showInDiskBrowser=Show in Disk Browser",
                           "otherCopies=Other Copies..."}));
    EXPECT_EQ(form.PopupMenu2->objectName(), "PopupMenu2");
    EXPECT_EQ(
        menuItems(form.PopupMenu2),
        (QStringList{"CheckSize1=Check Size", "RenameCatalog1=Rename Catalog",
                     "DeleteThisCatalogfromdatabase1=Delete This Catalog from database",
                     "updateThisDisk=Update This Disk...", "browseThisDisk=Browse This Disk...",
                     "verifyThisDisk=Verify This Disk..."}));
}

TEST_F(MainWindowTest, ForwardingItemsRunTheOtherItemsAction) {
    auto* renameCatalog = form.findChild<QAction*>("RenameCatalog1");
    auto* deleteCatalog = form.findChild<QAction*>("DeleteCatalog1");
    QSignalSpy renames(renameCatalog, &QAction::triggered);
    QSignalSpy deletes(deleteCatalog, &QAction::triggered);

    form.findChild<QAction*>("RenameSelectedDiskID1")->trigger();
    EXPECT_EQ(renames.count(), 1);
    EXPECT_EQ(deletes.count(), 0);
    form.findChild<QAction*>("DeleteThisCatalogfromdatabase1")->trigger();
    EXPECT_EQ(deletes.count(), 1);
    EXPECT_EQ(renames.count(), 1);

    // The dashed items do nothing.
    QSignalSpy dashed(form.findChild<QAction*>("N1"), &QAction::triggered);
    form.findChild<QAction*>("N1")->trigger();
    EXPECT_EQ(dashed.count(), 0);
}

TEST_F(MainWindowTest, CommandsShowTheOtherWindowsAndOpenWebHelp) {
    OtherWindows others;
    const QString& opened = others.opened;

    form.findChild<QAction*>("Configuration1")->trigger();
    EXPECT_TRUE(Form3->isVisible());
    form.findChild<QToolButton*>("SpeedButton1")->click();
    EXPECT_TRUE(Form2->isVisible());
    Form2->setWindowTitle("kept");
    form.findChild<QAction*>("NewScan1")->trigger();
    EXPECT_TRUE(Form2->isVisible());
    EXPECT_EQ(Form2->windowTitle(), "kept") << "an open scan window keeps its state";
    form.findChild<QAction*>("Developerinfo1")->trigger();
    EXPECT_TRUE(Form10->isVisible());
    form.findChild<QAction*>("WebHelp1")->trigger();
    EXPECT_EQ(opened, katalox::webHelpAddress());

    form.show();
    form.findChild<QAction*>("Exit1")->trigger();
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(dialogs.shown().empty());
}

TEST_F(MainWindowTest, KeysReachTheirCommands) {
    insert({{"A.TXT", "/D/A.TXT", "one"}});
    form.update2();
    OtherWindows others;
    const QString& opened = others.opened;
    auto activate = [](QWidget* window) {
        katalox::widgets::showForm(window);
        window->activateWindow();
        return QTest::qWaitForWindowActive(window);
    };
    ASSERT_TRUE(activate(&form));

    QTest::keyClick(&form, Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(form.Edit1->hasFocus());
    QTest::keyClick(form.Edit1, Qt::Key_Delete); // edits the box only
    EXPECT_TRUE(dialogs.shown().empty());
    form.DBGrid1->setFocus();
    QTest::keyClick(form.DBGrid1, Qt::Key_Delete);
    EXPECT_EQ(dialogs.texts("confirm"), QStringList{" Delete single entry ?"});
    QTest::keyClick(&form, Qt::Key_F1);
    EXPECT_EQ(opened, katalox::webHelpAddress());
    QTest::keyClick(&form, Qt::Key_N, Qt::ControlModifier);
    EXPECT_TRUE(Form2->isVisible());

    // F5 in the scan window reads the tree again: a volume mounted since shows up.
    auto* folders = Form2->findChild<katalox::widgets::ShellTreeView*>("ShellTreeView1");
    ASSERT_TRUE(activate(Form2));
    folders->setMountTableSource([] {
        return katalox::platform::parseMountTable("22 20 8:17 / /media/ann/NEW\\040DISK rw - "
                                                  "vfat /dev/sdb1 rw\n");
    });
    QTest::keyClick(Form2, Qt::Key_F5);
    EXPECT_EQ(folders->topLevelItem(0)->child(folders->topLevelItem(0)->childCount() - 1)->text(0),
              "NEW DISK");
    // Escape closes the scan, configuration and developer-information windows.
    for (QWidget* window : {static_cast<QWidget*>(Form2), static_cast<QWidget*>(Form3),
                            static_cast<QWidget*>(Form10)}) {
        ASSERT_TRUE(activate(window));
        QTest::keyClick(window, Qt::Key_Escape);
        EXPECT_FALSE(window->isVisible()) << window->objectName().toStdString();
    }

    ASSERT_TRUE(activate(&form));
    QTest::keyClick(&form, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(dialogs.shown().size(), 1u);
}

TEST_F(MainWindowTest, GridsLastColumnTakesTheSpareWidth) {
    insert({{"A.TXT", "/D/A.TXT", "one", 1}});
    form.show();
    form.update2();
    QHeaderView* columns = form.DBGrid1->horizontalHeader();
    const int before = columns->sectionSize(4);
    form.resize(form.width() + 300, form.height());
    QApplication::processEvents();
    EXPECT_EQ(columns->sectionSize(4), before + 300);
    EXPECT_EQ(columns->length(), form.DBGrid1->viewport()->width());
    EXPECT_EQ(
        (std::vector{columns->sectionSize(0), columns->sectionSize(1), columns->sectionSize(2)}),
        (std::vector{40, 160, 110}));
}

TEST_F(MainWindowTest, GridShowsTheTableInStorageOrder) {
    insert({{"B.TXT", "/D/B.TXT", "two", 20}, {"A.TXT", "/D/A.TXT", "one", 10}});
    EXPECT_EQ(form.DataSource1->dataSet(), form.Table1);
    const QAbstractItemModel* model = form.DBGrid1->model();
    ASSERT_EQ(model->columnCount(), 5);
    EXPECT_EQ(model->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), "File Name");
    EXPECT_EQ(gridColumn(1), (QStringList{"B.TXT", "A.TXT"}));
    EXPECT_EQ(gridColumn(4), (QStringList{"20", "10"}));
}

TEST_F(MainWindowTest, RightClickOnTheTreeOpensItsPopupWithoutMovingTheSelection) {
    insert({{"A.TXT", "/D/A.TXT", "one"}, {"B.TXT", "/D/B.TXT", "two"}});
    form.Update();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.TreeView1->expandAll();
    QTreeWidgetItem* one = node("one");
    QTreeWidgetItem* two = node("two");
    one->setSelected(true);
    ASSERT_EQ(form.Label1->text(), "Selected : one");

    const QPoint onTwo = form.TreeView1->visualItemRect(two).center();
    QTest::mouseClick(form.TreeView1->viewport(), Qt::RightButton, {}, onTwo);
    EXPECT_TRUE(one->isSelected());
    EXPECT_FALSE(two->isSelected());
    EXPECT_EQ(form.Label1->text(), "Selected : one");

    QContextMenuEvent request(QContextMenuEvent::Mouse, onTwo,
                              form.TreeView1->viewport()->mapToGlobal(onTwo));
    QCoreApplication::sendEvent(form.TreeView1->viewport(), &request);
    EXPECT_TRUE(form.PopupMenu2->isVisible());
    form.PopupMenu2->hide();
    EXPECT_TRUE(one->isSelected());

    // A left click still selects.
    QTest::mouseClick(form.TreeView1->viewport(), Qt::LeftButton, {}, onTwo);
    EXPECT_TRUE(two->isSelected());
    EXPECT_EQ(form.Label1->text(), "Selected : two");
}

TEST_F(MainWindowTest, AnErrorInAHandlerGoesToTheErrorBoxAndWhatWasDoneStays) {
    // No catalogue configured: the listing started by the mask box cannot run.
    form.ComboBox1->setEditText("avi");
    const QStringList errors = dialogs.texts("error");
    ASSERT_EQ(errors.size(), 1);
    EXPECT_FALSE(errors.front().isEmpty());
    EXPECT_FALSE(errors.front().back() > QChar('.')) << "the box ends the message with a dot";
    EXPECT_EQ(form.Query1->sql().size(), 4u) << "the statement was put in place before the error";
    EXPECT_FALSE(form.Query1->active());
    EXPECT_TRUE(form.isEnabled());
}

} // namespace
