#include "ScanWindowFixture.h"

#include <QApplication>
#include <QCoreApplication>

#include <new>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

using katalox::platform::setMessagePumpHook;

namespace {

const QString kFinished = QStringLiteral("Scan Finished - To Insert Click Insert to Database");
const QString kNoAccess = QStringLiteral("No Access To Files on location->Scan by other SubDir");

// Eats the application's quit request after the scan window has seen it, so the test program
// itself goes on running.
class SwallowQuit : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        return watched == qApp && event->type() == QEvent::Quit;
    }
};

} // namespace

TEST_F(ScanWindowTest, ShowingTheWindowSelectsTheComputerAndProposesIt) {
    form->show();
    EXPECT_EQ(control<QComboBox>("ComboBox1")->currentText(), QStringLiteral("Computer/"));
    EXPECT_EQ(edit("Edit3")->text(), QStringLiteral("Computer"));

    control<QPushButton>("BitBtn2")->click();
    EXPECT_TRUE(lines().empty()); // nothing can be enumerated under the computer's text
    EXPECT_EQ(label("ItemsCount")->text(), QStringLiteral("Items Count: 0"));
    EXPECT_EQ(progress()->maximum(), 1);
    EXPECT_EQ(progress()->value(), 0);
    EXPECT_EQ(dialogs.texts("message"), QStringList{kFinished});
}

TEST_F(ScanWindowTest, SelectingAFolderProposesStartFolderAndDiskId) {
    dir.mkdir("Holiday Photos/2024");
    selectFolder(dir.file("Holiday Photos"));
    EXPECT_EQ(startFolder(), dir.file("Holiday Photos/"));
    EXPECT_EQ(control<QComboBox>("ComboBox1")->currentText().toStdString(),
              dir.file("Holiday Photos/"));
    EXPECT_EQ(edit("Edit3")->text(), QStringLiteral("Holiday Photos"));

    edit("Edit3")->setText(QStringLiteral("my disk")); // typed after selecting: kept
    EXPECT_EQ(edit("Edit3")->text(), QStringLiteral("my disk"));
    selectFolder(dir.file("Holiday Photos/2024")); // selecting again replaces it
    EXPECT_EQ(edit("Edit3")->text(), QStringLiteral("2024"));

    selectFolder("/"); // the root keeps its one separator
    EXPECT_EQ(startFolder(), "/");
    EXPECT_EQ(control<QComboBox>("ComboBox1")->currentText(), QStringLiteral("/"));
}

TEST_F(ScanWindowTest, ListsEveryFileOfTheVisibleFoldersWithStatusProgressAndCount) {
    dir.write("root.txt");
    dir.write(".hidden-file");
    dir.write("Sub/b.TXT");
    dir.write("Sub/Deep/c.doc");
    dir.write(".secret/x.txt"); // below a hidden folder: not walked
    const std::string root = dir.path() + "/";

    QStringList statusDuringScan;
    setMessagePumpHook([&] {
        statusDuringScan << label("Label5")->text() +
                                label("Label5")->palette().color(QPalette::Window).name();
    });
    scan(dir.path());

    EXPECT_EQ(sortedLines(),
              (std::vector<std::string>{root + ".hidden-file", root + "Sub/Deep/c.doc",
                                        root + "Sub/b.TXT", root + "root.txt"}));
    // Level order: the start folder's own files come first.
    EXPECT_EQ(lines().back(), root + "Sub/Deep/c.doc");
    ASSERT_FALSE(statusDuringScan.isEmpty());
    EXPECT_EQ(statusDuringScan.front(), QStringLiteral("  Searching  #ff0000"));
    EXPECT_EQ(label("Label5")->text(), QStringLiteral("  Done  "));
    EXPECT_EQ(label("Label5")->palette().color(QPalette::Window), QColor(0, 128, 0));
    EXPECT_EQ(label("ItemsCount")->text(), QStringLiteral("Items Count: 4"));
    EXPECT_EQ(folderList(), (std::vector<std::string>{root, root + "Sub/", root + "Sub/Deep/"}));
    EXPECT_EQ(progress()->maximum(), 2);
    EXPECT_EQ(progress()->value(), 2);
    EXPECT_EQ(dialogs.texts("message"), QStringList{kFinished});

    // The view shows every line, with the last one selected.
    QCoreApplication::processEvents();
    auto* view = control<QTableView>("ListBox1");
    EXPECT_EQ(view->model()->rowCount(), 4);
    EXPECT_EQ(view->currentIndex().row(), 3);
}

TEST_F(ScanWindowTest, PatternsAreMatchedPerFolderIgnoringCase) {
    dir.write("Report.DOC");
    dir.write("report.txt");
    dir.write("README");
    dir.write("a;b");
    dir.write("Sub/report.doc");
    edit("Edit1")->setText(QStringLiteral("rep*"));
    edit("Edit2")->setText(QStringLiteral("doc"));
    scan(dir.path());
    EXPECT_EQ(sortedLines(),
              (std::vector<std::string>{dir.file("Report.DOC"), dir.file("Sub/report.doc")}));

    edit("Edit1")->setText(QStringLiteral("*"));
    edit("Edit2")->setText(QString()); // "*." : names without an extension
    scan(dir.path());
    EXPECT_EQ(sortedLines(), (std::vector<std::string>{dir.file("README"), dir.file("a;b")}));

    edit("Edit1")->setText(QStringLiteral("a;b")); // one literal pattern, not two
    edit("Edit2")->setText(QStringLiteral("*"));
    scan(dir.path());
    EXPECT_EQ(sortedLines(), (std::vector<std::string>{dir.file("a;b")}));
}

TEST_F(ScanWindowTest, ProgressRangeFollowsTheNumberOfFolders) {
    dir.write("one/f");
    dir.write("two/inner/g");
    scan(dir.file("one")); // one folder: the bar ends empty
    EXPECT_EQ(progress()->maximum(), 1);
    EXPECT_EQ(progress()->value(), 0);
    EXPECT_EQ(lines(), std::vector<std::string>{dir.file("one/f")});

    scan(dir.file("two")); // two folders: the bar ends full
    EXPECT_EQ(progress()->maximum(), 1);
    EXPECT_EQ(progress()->value(), 1);
    // A second scan replaces the list instead of adding to it.
    EXPECT_EQ(lines(), std::vector<std::string>{dir.file("two/inner/g")});
}

TEST_F(ScanWindowTest, AnEmptyDiskIdStopsTheScanAndChangesNothing) {
    dir.write("f");
    scan(dir.path());
    dialogs.clear();
    edit("Edit3")->clear();
    control<QPushButton>("BitBtn2")->click();
    EXPECT_EQ(dialogs.texts("message"), QStringList{"There is no Disk ID"});
    EXPECT_EQ(lines(), std::vector<std::string>{dir.file("f")});
    EXPECT_EQ(label("Label5")->text(), QStringLiteral("  Done  "));
    EXPECT_EQ(label("ItemsCount")->text(), QStringLiteral("Items Count: 1"));

    dialogs.clear();
    edit("Edit3")->setText(QStringLiteral("   ")); // spaces are a Disk ID
    control<QPushButton>("BitBtn2")->click();
    EXPECT_EQ(dialogs.texts("message"), QStringList{kFinished});
}

TEST_F(ScanWindowTest, AnErrorMidScanEmptiesTheListAndKeepsThePreviousCount) {
    for (int i = 0; i < 5; ++i)
        dir.write("d" + std::to_string(i) + "/f");
    scan(dir.path());
    ASSERT_EQ(label("ItemsCount")->text(), QStringLiteral("Items Count: 5"));
    dialogs.clear();

    int calls = 0;
    setMessagePumpHook([&] {
        if (++calls == 8) // past the walk, inside the file search
            throw std::runtime_error("out of memory");
    });
    control<QPushButton>("BitBtn2")->click();
    EXPECT_EQ(calls, 8);
    EXPECT_EQ(dialogs.texts("message"), (QStringList{kNoAccess, kFinished}));
    EXPECT_TRUE(lines().empty());
    EXPECT_EQ(listLines().rowCount(), 0);
    EXPECT_EQ(label("Label5")->text(), QStringLiteral("  Done  "));
    EXPECT_EQ(label("Label5")->palette().color(QPalette::Window), QColor(0, 128, 0));
    EXPECT_EQ(label("ItemsCount")->text(), QStringLiteral("Items Count: 5"));
    EXPECT_TRUE(dialogs.texts("error").isEmpty());
    EXPECT_FALSE(scanRunning());

    // A failure inside the folder walk leaves nothing behind that stops the next scan.
    calls = 0;
    setMessagePumpHook([&] {
        if (++calls == 1)
            throw std::bad_alloc();
    });
    control<QPushButton>("BitBtn2")->click();
    EXPECT_TRUE(lines().empty());
    setMessagePumpHook({});
    control<QPushButton>("BitBtn2")->click();
    EXPECT_EQ(lines().size(), 5u);
}

TEST_F(ScanWindowTest, ScanAndInsertPressedDuringAScanDoNothing) {
    dir.write("a/1");
    dir.write("b/2");
    bool pressed = false;
    setMessagePumpHook([&] {
        if (pressed || !scanRunning())
            return;
        pressed = true;
        control<QPushButton>("BitBtn2")->click();
        control<QPushButton>("BitBtn1")->click();
    });
    scan(dir.path());
    EXPECT_TRUE(pressed);
    EXPECT_EQ(dialogs.texts("message"), QStringList{kFinished});
    EXPECT_TRUE(dialogs.texts("confirm").isEmpty());
    EXPECT_EQ(sortedLines(), (std::vector<std::string>{dir.file("a/1"), dir.file("b/2")}));
}

TEST_F(ScanWindowTest, QuittingTheApplicationEndsTheScanWithoutItsMessage) {
    for (int i = 0; i < 20; ++i)
        dir.write("f" + std::to_string(i));
    SwallowQuit swallow;
    qApp->installEventFilter(&swallow); // runs before the window's own filter: install first
    form = std::make_unique<TForm2>();
    int calls = 0;
    setMessagePumpHook([&] {
        if (++calls == 3) {
            QEvent quit(QEvent::Quit);
            QCoreApplication::sendEvent(qApp, &quit);
        }
    });
    scan(dir.path());
    EXPECT_EQ(calls, 3);
    EXPECT_TRUE(dialogs.texts("message").isEmpty());
    EXPECT_FALSE(scanRunning());
}

TEST_F(ScanWindowTest, QuittingDuringTheFolderWalkEndsTheWalkToo) {
    for (const char* folder : {"a/a1/a2", "b/b1", "c/c1"})
        dir.mkdir(folder);
    SwallowQuit swallow;
    qApp->installEventFilter(&swallow);
    form = std::make_unique<TForm2>();
    int calls = 0;
    setMessagePumpHook([&] {
        if (++calls == 1) {
            QEvent quit(QEvent::Quit);
            QCoreApplication::sendEvent(qApp, &quit);
        }
    });
    scan(dir.path());
    // The walk ended right after the first folder it found, and nothing was searched.
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(folderList().size(), 2u);
    EXPECT_TRUE(dialogs.texts("message").isEmpty());
    EXPECT_FALSE(scanRunning());
}

TEST_F(ScanWindowTest, OddNamesAreListedExactlyAndUnreadableFoldersSkipped) {
    const std::vector<std::string> names = {"line\nbreak", "back\\slash", "star*",
                                            "what?",       "caf\xe9",     "[set]"};
    for (const std::string& name : names)
        dir.write("odd/" + name);
    dir.write("locked/inside/hidden-from-us");
    dir.write("open/visible");
    ::chmod(dir.file("locked").c_str(), 0);
    scan(dir.path());
    ::chmod(dir.file("locked").c_str(), 0700);

    std::vector<std::string> expected;
    for (const std::string& name : names)
        expected.push_back(dir.file("odd/" + name));
    expected.push_back(dir.file("open/visible"));
    if (::geteuid() == 0) // permissions do not hold back the superuser
        expected.push_back(dir.file("locked/inside/hidden-from-us"));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(sortedLines(), expected);
    EXPECT_EQ(dialogs.texts("message"), QStringList{kFinished});
}
