#include "app/Application.h"
#include "common/ScopedEnvironment.h"
#include "common/ScriptedDialogs.h"
#include "common/TempDir.h"
#include "platform/Error.h"
#include "platform/Paths.h"
#include "store/dataset/Table.h"
#include "windows/Forms.h"
#include "windows/TForm1.h"
#include "windows/TForm10.h"
#include "windows/TForm2.h"
#include "windows/TForm3.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <filesystem>

using namespace katalox;

namespace {

// Starts the program as `katalox --user-folder` does once the application exists, runs
// `whileShown` when the main window's loop runs and then closes the main window. Returns the
// exit code; the current folder is put back afterwards.
int startInUserFolder(const std::function<void()>& whileShown) {
    const std::string startFolder = platform::currentDirectory();
    QTimer closer;
    closer.setSingleShot(true);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        whileShown();
        Form1->close();
    });
    closer.start(0);
    const int exitCode = runProgram(StartOptions{.userFolder = true});
    platform::setCurrentDirectory(startFolder);
    return exitCode;
}

TEST(StartUpTest, AnEmptyHomeStartsInItsNewUserFolderOnAnEmptyCatalogueWithoutAQuestion) {
    test::ScriptedDialogs dialogs;
    test::TempDir home;
    test::ScopedEnvironment environment;
    environment.set("HOME", home.path());
    environment.set("XDG_DATA_HOME", std::nullopt);
    setDesktopIdentity();

    const std::string folder = home.file(".local/share/katalox");
    const int exitCode = startInUserFolder([&] {
        EXPECT_EQ(Form1->AppDir, std::filesystem::canonical(folder).string());
        EXPECT_TRUE(Form1->Table1->active());
        ASSERT_EQ(Form1->TreeView1->topLevelItemCount(), 1);
        EXPECT_EQ(Form1->TreeView1->topLevelItem(0)->text(0), "All Disks");
        EXPECT_EQ(Form1->TreeView1->topLevelItem(0)->childCount(), 0);
        EXPECT_EQ(Form1->windowIcon().availableSizes(),
                  (QList<QSize>{{48, 48}, {128, 128}, {256, 256}}));
    });
    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(dialogs.shown().empty()) << dialogs.shown().front().text.toStdString();
    EXPECT_TRUE(std::filesystem::exists(folder + "/config.ini"));
    EXPECT_EQ(Form1, nullptr);
}

TEST(StartUpTest, AUserFolderThatCannotBeCreatedEndsTheStartWithOneMessage) {
    test::ScriptedDialogs dialogs;
    test::TempDir dir;
    test::ScopedEnvironment environment;
    environment.set("XDG_DATA_HOME", dir.write("plain-file"));

    EXPECT_EQ(startInUserFolder([] { ADD_FAILURE() << "the main window opened"; }), 1);
    ASSERT_EQ(dialogs.shown().size(), 1u);
    EXPECT_TRUE(dialogs.texts("error").value(0).startsWith(
        QString::fromStdString("Cannot create folder \"" + dir.file("plain-file/katalox"))));
    EXPECT_EQ(Form1, nullptr);
}

TEST(StartUpTest, WindowsComeInOrderAndAFailingOneDoesNotStopTheStart) {
    test::ScriptedDialogs dialogs;
    QStringList order;
    WindowFactories factories = defaultWindowFactories();
    factories.createForm1 = [&, form1 = factories.createForm1] {
        order << "Form1";
        form1();
    };
    factories.createForm2 = [&] {
        order << "Form2";
        throw Error("scan window broken");
    };
    factories.createForm3 = [&] {
        order << "Form3";
        Form3 = new TForm3;
        EXPECT_NE(Form1, nullptr) << "the main window exists before the configuration reads it";
        throw FileError("Cannot open file \"config.ini\". gone.");
    };
    factories.createForm10 = [&] {
        order << "Form10";
        Form10 = new TForm10;
    };

    createWindows(factories);
    EXPECT_EQ(order, (QStringList{"Form1", "Form2", "Form3", "Form10"}));
    EXPECT_EQ(dialogs.texts("error"),
              (QStringList{"scan window broken.", "Cannot open file \"config.ini\". gone."}));
    ASSERT_NE(Form1, nullptr);
    EXPECT_EQ(Form1->AppDir, platform::currentDirectory());
    EXPECT_EQ(Form2, nullptr);
    EXPECT_NE(Form3, nullptr) << "a window whose start-up work failed still exists";
    ASSERT_NE(Form10, nullptr);
    EXPECT_FALSE(Form1->isVisible());
    EXPECT_FALSE(Form10->isVisible());

    // Closing the main window ends the loop while another window is still open.
    QTimer closer;
    closer.setSingleShot(true);
    QObject::connect(&closer, &QTimer::timeout, [] {
        Form10->show();
        EXPECT_TRUE(Form1->isVisible());
        Form1->close();
    });
    closer.start(0);
    QTimer safety; // ends a loop that would otherwise never end, so the test fails instead
    safety.setSingleShot(true);
    QObject::connect(&safety, &QTimer::timeout, [] { QCoreApplication::exit(2); });
    safety.start(30000);
    EXPECT_EQ(runMainWindow(), 0);
    EXPECT_TRUE(Form10->isVisible());

    destroyWindows();
    EXPECT_EQ(Form1, nullptr);
    EXPECT_EQ(Form3, nullptr);
    EXPECT_EQ(Form10, nullptr);
}

TEST(StartUpTest, WithoutAMainWindowThereIsNothingToRun) {
    test::ScriptedDialogs dialogs;
    WindowFactories factories;
    factories.createForm1 = [] { throw Error("no main window"); };
    createWindows(factories);
    EXPECT_EQ(Form1, nullptr);
    EXPECT_EQ(runMainWindow(), 1);
    EXPECT_EQ(dialogs.texts("error"), QStringList{"no main window."});
    destroyWindows();
}

} // namespace
