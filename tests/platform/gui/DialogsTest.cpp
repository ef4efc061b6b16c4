#include "common/ScriptedDialogs.h"
#include "platform/Error.h"
#include "platform/gui/ErrorBox.h"
#include "platform/gui/ShellOpen.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace katalox::platform;
using katalox::test::ScriptedDialogs;

TEST(ErrorBox, AppendsAPeriodOnlyAfterCharactersThatSortAfterIt) {
    EXPECT_EQ(errorBoxText("Table not found"), "Table not found.");
    EXPECT_EQ(errorBoxText("Done."), "Done.");
    EXPECT_EQ(errorBoxText("Really?"), "Really?."); // '?' sorts after '.'
    EXPECT_EQ(errorBoxText("List index out of bounds (1)"),
              "List index out of bounds (1)");                       // ')' sorts before '.'
    EXPECT_EQ(errorBoxText("ends with space "), "ends with space "); // ' ' sorts before '.'
    EXPECT_EQ(errorBoxText("a-"), "a-");                             // '-' sorts before '.'
    EXPECT_EQ(errorBoxText("path/"), "path/.");
    EXPECT_EQ(errorBoxText(""), "");
}

TEST(ErrorBox, GuardedShowsTheErrorAndKeepsWhatRanBefore) {
    ScriptedDialogs dialogs;
    int stepsDone = 0;
    guarded([&] {
        ++stepsDone;
        throw katalox::EngineError("no such table: Files");
    });
    guarded([&] { ++stepsDone; });
    EXPECT_EQ(stepsDone, 2);
    EXPECT_EQ(dialogs.texts("error"), QStringList{"no such table: Files."});
}

TEST(ScriptedDialogs, RecordsTextsAndAnswersInOrder) {
    ScriptedDialogs dialogs;
    EXPECT_EQ(&Dialogs::instance(), &dialogs);
    dialogs.answerConfirm(true);
    dialogs.answerConfirm(false);
    dialogs.answerInput("New name");
    dialogs.answerOpenFile("/data/Files.db");

    EXPECT_TRUE(Dialogs::instance().confirm("First?"));
    EXPECT_FALSE(Dialogs::instance().confirm("Second?"));
    EXPECT_EQ(Dialogs::instance().inputLine("Input Name", "Type", ""), QString("New name"));
    EXPECT_EQ(Dialogs::instance().openFile("Database Files (*.db)", "*.db"),
              std::string("/data/Files.db"));
    Dialogs::instance().showMessage("Config Saved");

    // With the script used up, every dialog cancels.
    EXPECT_FALSE(Dialogs::instance().confirm("Third?"));
    EXPECT_FALSE(Dialogs::instance().inputLine("Input Name", "Type", "").has_value());
    EXPECT_FALSE(Dialogs::instance().openFile("x", "y").has_value());

    EXPECT_EQ(dialogs.texts("confirm"), (QStringList{"First?", "Second?", "Third?"}));
    EXPECT_EQ(dialogs.texts("message"), QStringList{"Config Saved"});
    ASSERT_EQ(dialogs.shown().size(), 8u);
    EXPECT_EQ(dialogs.shown()[2].kind, "input");
}

TEST(ScriptedDialogs, AnAnswerOfTheWrongKindCancels) {
    ScriptedDialogs dialogs;
    dialogs.answerInput("text");
    EXPECT_FALSE(Dialogs::instance().confirm("OK?"));
    dialogs.answerCancel();
    EXPECT_FALSE(Dialogs::instance().inputLine("c", "p", "").has_value());
}

TEST(ScriptedDialogs, RestoresTheRealDialogsWhenDestroyed) {
    Dialogs* scripted = nullptr;
    {
        ScriptedDialogs dialogs;
        scripted = &Dialogs::instance();
    }
    EXPECT_NE(&Dialogs::instance(), scripted);
}

// The real confirmation: Enter presses its default button.
TEST(QtDialogs, EnterPressesTheDefaultButtonOfAConfirmation) {
    auto pressEnterOnTheDialog = [] {
        QTimer::singleShot(0, [] {
            if (QWidget* box = QApplication::activeModalWidget())
                QTest::keyClick(box, Qt::Key_Return);
        });
    };
    QtDialogs real;
    pressEnterOnTheDialog();
    EXPECT_TRUE(real.confirm("Go on?"));
    pressEnterOnTheDialog();
    EXPECT_FALSE(real.confirm("Delete?", DefaultButton::Cancel));
}

TEST(ShellOpen, HookReceivesTheAddress) {
    QStringList opened;
    setShellOpenHook([&](const QString& address) { opened << address; });
    shellOpen("https://example.org/help");
    setShellOpenHook({});
    EXPECT_EQ(opened, QStringList{"https://example.org/help"});
}
