#include "app/Application.h"
#include "common/ScriptedDialogs.h"
#include "platform/Error.h"
#include "platform/Paths.h"
#include "windows/Forms.h"
#include "windows/TForm1.h"
#include "windows/TForm10.h"
#include "windows/TForm2.h"
#include "windows/TForm3.h"

#include <QCoreApplication>
#include <QTimer>
#include <gtest/gtest.h>

using namespace katalox;

namespace {

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
