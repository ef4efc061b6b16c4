#include "windows/TForm10.h"
#include "common/ScriptedDialogs.h"
#include "common/TempDir.h"
#include "platform/gui/ShellOpen.h"
#include "widgets/WindowHelpers.h"
#include "windows/WebAddresses.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

#include <cstdlib>

using katalox::test::ScriptedDialogs;

namespace {

// Records the addresses that would have gone to the default browser.
struct ShellOpenRecorder {
    ShellOpenRecorder() {
        katalox::platform::setShellOpenHook([this](const QString& address) { opened << address; });
    }
    ~ShellOpenRecorder() { katalox::platform::setShellOpenHook({}); }
    QStringList opened;
};

QLabel* label(QWidget& form, const char* name) {
    return form.findChild<QLabel*>(name);
}

int visibleDeveloperWindows() {
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        count += qobject_cast<TForm10*>(widget) && widget->isVisible() ? 1 : 0;
    return count;
}

QString webHelpPage(const std::string& cacheHome) {
    ::setenv("XDG_CACHE_HOME", cacheHome.c_str(), 1);
    const QString address = katalox::webHelpAddress();
    ::unsetenv("XDG_CACHE_HOME");
    QFile page(QUrl(address).toLocalFile());
    EXPECT_TRUE(address.startsWith("file://") && page.open(QIODevice::ReadOnly));
    return QString::fromUtf8(page.readAll());
}

} // namespace

TEST(TForm10, ShowsThePictureAndTheAddressItsClickOpens) {
    ScriptedDialogs dialogs;
    ShellOpenRecorder shell;
    TForm10 form;
    EXPECT_EQ(form.size(), QSize(205, 54));
    EXPECT_EQ(label(form, "Image1")->pixmap().size(), QSize(40, 41));
    EXPECT_EQ(label(form, "Label2")->text(), katalox::makerName());
    QLabel* address = label(form, "Label1");
    // Both labels show their whole text and stay inside the small window.
    for (QLabel* text : {label(form, "Label2"), address}) {
        EXPECT_LE(text->fontMetrics().horizontalAdvance(text->text()), text->width());
        EXPECT_LT(text->geometry().right(), form.width());
    }

    QTest::mouseClick(address, Qt::RightButton);
    QTest::mouseClick(label(form, "Label2"), Qt::LeftButton);
    EXPECT_TRUE(shell.opened.isEmpty());
    QTest::mouseClick(address, Qt::LeftButton);
    ASSERT_EQ(shell.opened, QStringList{katalox::makerWebAddress()});
    EXPECT_EQ(address->text(), shell.opened.front()); // shown exactly as opened
    EXPECT_TRUE(dialogs.shown().empty());
}

TEST(TForm10, ADamagedPictureIsReportedAndTheWindowStillWorks) {
    ScriptedDialogs dialogs;
    ShellOpenRecorder shell;
    TForm10 form;
    form.loadPicture(QByteArray("\xFF\xD8\xFF\xE0 broken", 10));
    ASSERT_EQ(dialogs.texts("error").size(), 1);
    EXPECT_TRUE(dialogs.texts("error").front().startsWith("Cannot decode the picture: "));
    EXPECT_TRUE(label(form, "Image1")->pixmap().isNull());
    form.Label1Click();
    EXPECT_EQ(shell.opened.size(), 1);
}

TEST(TForm10, ShowingTwiceGivesOneWindowAndClosingOnlyHides) {
    // Created at start without a parent; it centres on the main window, found by name.
    QWidget mainWindow;
    mainWindow.setObjectName("Form1");
    mainWindow.setGeometry(100, 100, 772, 448);
    mainWindow.show();
    TForm10 form;
    katalox::widgets::showForm(&form);
    katalox::widgets::showForm(&form);
    EXPECT_EQ(visibleDeveloperWindows(), 1);
    EXPECT_LE((form.geometry().center() - mainWindow.geometry().center()).manhattanLength(), 2);

    EXPECT_TRUE(form.close());
    QApplication::processEvents();
    EXPECT_EQ(visibleDeveloperWindows(), 0);
    katalox::widgets::showForm(&form);
    EXPECT_EQ(visibleDeveloperWindows(), 1);
}

TEST(WebHelp, TheHelpPageShipsWithTheProgramAndNamesTheWindows) {
    katalox::test::TempDir cache;
    const QString page = webHelpPage(cache.path());
    for (const char* words : {"Scan For Files", "Insert To DataBase", "All Disks", "Configuration",
                              "Change Database File", "Save Config", "Developer info", "Find File",
                              "File Mask", "Find In FilePath"})
        EXPECT_TRUE(page.contains(words)) << words;
    // A cache folder that cannot be made (a file in its place) falls back to a temporary one.
    EXPECT_EQ(webHelpPage(cache.write("not-a-folder", "x")), page);
}
