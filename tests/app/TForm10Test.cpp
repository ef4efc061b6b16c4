#include "app/TForm10.h"
#include "app/WebAddresses.h"
#include "common/TempDir.h"
#include "platform/gui/ScriptedDialogs.h"
#include "platform/gui/ShellOpen.h"
#include "platform/gui/ShowForm.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>

using katalox::platform::ScriptedDialogs;

namespace {

// Records what would have been handed to the default browser.
class ShellOpenRecorder {
public:
    ShellOpenRecorder() {
        katalox::platform::setShellOpenHook([this](const QString& address) { opened << address; });
    }
    ~ShellOpenRecorder() { katalox::platform::setShellOpenHook({}); }
    QStringList opened;
};

QLabel* label(TForm10& form, const char* name) {
    auto* found = form.findChild<QLabel*>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
}

int visibleDeveloperWindows() {
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        count += qobject_cast<TForm10*>(widget) && widget->isVisible() ? 1 : 0;
    return count;
}

// Points the user's cache folder somewhere of the test's own for as long as it lives.
class CacheHome {
public:
    explicit CacheHome(const std::string& path) {
        if (const char* old = std::getenv("XDG_CACHE_HOME"))
            old_ = old;
        ::setenv("XDG_CACHE_HOME", path.c_str(), 1);
    }
    ~CacheHome() {
        if (old_)
            ::setenv("XDG_CACHE_HOME", old_->c_str(), 1);
        else
            ::unsetenv("XDG_CACHE_HOME");
    }

private:
    std::optional<std::string> old_;
};

QString readPage(const QString& address) {
    const QUrl url(address);
    EXPECT_TRUE(url.isLocalFile()) << address.toStdString();
    QFile page(url.toLocalFile());
    EXPECT_TRUE(page.open(QIODevice::ReadOnly)) << url.toLocalFile().toStdString();
    return QString::fromUtf8(page.readAll());
}

} // namespace

TEST(TForm10, LayoutAsDesigned) {
    ScriptedDialogs dialogs;
    TForm10 form;
    EXPECT_EQ(form.objectName(), "Form10");
    EXPECT_EQ(form.windowTitle(), "Developer Info");
    EXPECT_EQ(form.size(), QSize(205, 54));
    EXPECT_EQ(form.minimumSize(), form.maximumSize()); // fixed size
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::Tool));
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(form.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(form.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));

    QLabel* image = label(form, "Image1");
    QLabel* name = label(form, "Label2");
    QLabel* address = label(form, "Label1");
    ASSERT_TRUE(image && name && address);
    EXPECT_EQ(image->geometry(), QRect(8, 5, 49, 41));
    // The labels grow to the right when the font needs more room, but stay in the window.
    for (QLabel* text : {name, address}) {
        EXPECT_LE(text->fontMetrics().horizontalAdvance(text->text()), text->width());
        EXPECT_LE(text->geometry().right(), form.width() - 1);
    }
    EXPECT_EQ(name->geometry().topLeft(), QPoint(56, 8));
    EXPECT_EQ(address->geometry().topLeft(), QPoint(56, 32));
    EXPECT_GE(name->width(), 78);
    EXPECT_GE(address->width(), 124);
    EXPECT_EQ(name->height(), 13);
    EXPECT_EQ(address->height(), 13);

    EXPECT_EQ(name->text(), katalox::makerName());
    EXPECT_TRUE(name->font().bold());
    EXPECT_TRUE(address->font().bold());
    EXPECT_TRUE(address->font().underline());
    EXPECT_EQ(address->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(address->font().pixelSize(), 11);

    // The picture unscaled at the top left of its box.
    EXPECT_EQ(image->pixmap().size(), QSize(40, 41));
    EXPECT_FALSE(image->hasScaledContents());
    EXPECT_EQ(image->alignment(), Qt::AlignLeft | Qt::AlignTop);
    EXPECT_TRUE(dialogs.shown().empty());
}

TEST(TForm10, TheAddressShownIsTheOneItsClickOpens) {
    ScriptedDialogs dialogs;
    ShellOpenRecorder shell;
    TForm10 form;
    QLabel* address = label(form, "Label1");
    ASSERT_TRUE(address);

    QTest::mouseClick(address, Qt::RightButton);
    EXPECT_TRUE(shell.opened.isEmpty());
    QTest::mouseClick(address, Qt::LeftButton);
    ASSERT_EQ(shell.opened, QStringList{katalox::makerWebAddress()});
    EXPECT_EQ(QUrl(shell.opened.front()).host() + QUrl(shell.opened.front()).path(),
              address->text());
    EXPECT_TRUE(shell.opened.front().endsWith(address->text()));

    // Clicking the name or the picture opens nothing.
    QTest::mouseClick(label(form, "Label2"), Qt::LeftButton);
    QTest::mouseClick(label(form, "Image1"), Qt::LeftButton);
    EXPECT_EQ(shell.opened.size(), 1);
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
    EXPECT_EQ(shell.opened, QStringList{katalox::makerWebAddress()});
}

TEST(TForm10, ShowingTwiceGivesOneWindowAndClosingOnlyHides) {
    ScriptedDialogs dialogs;
    // Created at start without a parent; it finds the main window by name.
    QWidget mainWindow;
    mainWindow.setObjectName("Form1");
    mainWindow.setGeometry(100, 100, 772, 448);
    mainWindow.show();
    std::unique_ptr<TForm10> owner = std::make_unique<TForm10>();
    QPointer<TForm10> form = owner.get();
    EXPECT_TRUE(form->isHidden());

    katalox::platform::showForm(form);
    katalox::platform::showForm(form);
    EXPECT_EQ(visibleDeveloperWindows(), 1);
    // Centred on the main window.
    EXPECT_LE((form->geometry().center() - mainWindow.geometry().center()).manhattanLength(), 2);

    EXPECT_TRUE(form->close());
    QApplication::processEvents();
    ASSERT_FALSE(form.isNull()); // hidden, not destroyed
    EXPECT_TRUE(form->isHidden());
    EXPECT_EQ(visibleDeveloperWindows(), 0);

    katalox::platform::showForm(form);
    EXPECT_EQ(visibleDeveloperWindows(), 1);
    EXPECT_EQ(label(*form, "Image1")->pixmap().size(), QSize(40, 41));
}

TEST(WebHelp, TheHelpPageShipsWithTheProgramAndNamesTheWindows) {
    katalox::test::TempDir cache;
    CacheHome home(cache.path());
    const QString address = katalox::webHelpAddress();
    EXPECT_TRUE(address.startsWith("file://"));
    EXPECT_TRUE(QUrl(address).toLocalFile().startsWith(QString::fromStdString(cache.path())));

    const QString page = readPage(address);
    EXPECT_TRUE(page.contains("<html"));
    for (const char* words :
         {"Scan For Files", "Scan for Files", "Insert To DataBase", "All Disks", "Configuration",
          "Change Database File", "Save Config", "Developer info", "Find File", "File Mask",
          "Find In FilePath", "Delete All - Empty Database"})
        EXPECT_TRUE(page.contains(words)) << words;

    // Asking again gives the same page at the same place.
    EXPECT_EQ(katalox::webHelpAddress(), address);
}

TEST(WebHelp, AnUnwritableCacheFolderFallsBackToATemporaryFolder) {
    katalox::test::TempDir cache;
    // A file where the cache folder should be: nothing can be created below it.
    CacheHome home(cache.write("not-a-folder", "x"));
    const QString address = katalox::webHelpAddress();
    EXPECT_FALSE(QUrl(address).toLocalFile().startsWith(QString::fromStdString(cache.path())));
    EXPECT_TRUE(readPage(address).contains("Insert To DataBase"));
}
