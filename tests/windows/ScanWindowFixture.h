#pragma once
// A scan window with scripted dialogs and a temporary folder, for the window's tests.
#include "common/ScriptedDialogs.h"
#include "common/TempDir.h"
#include "platform/DisplayText.h"
#include "platform/MessagePump.h"
#include "scanner/DirLister.h"
#include "widgets/CheckedProgressBar.h"
#include "widgets/ScanListModel.h"
#include "widgets/ShellTreeView.h"
#include "windows/TForm2.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

class ScanWindowTest : public ::testing::Test {
protected:
    ~ScanWindowTest() override { katalox::platform::setMessagePumpHook({}); }

    template <typename Widget> Widget* control(const char* name) {
        auto* widget = form->findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QLineEdit* edit(const char* name) { return control<QLineEdit>(name); }
    QLabel* label(const char* name) { return control<QLabel>(name); }
    katalox::widgets::ShellTreeView* tree() {
        return control<katalox::widgets::ShellTreeView>("ShellTreeView1");
    }
    katalox::widgets::CheckedProgressBar* progress() {
        return control<katalox::widgets::CheckedProgressBar>("ProgressBar1");
    }

    void selectFolder(const std::string& path) { ASSERT_TRUE(tree()->selectPath(path)); }

    // Selects the folder and presses "Scan for Files".
    void scan(const std::string& path) {
        selectFolder(path);
        control<QPushButton>("BitBtn2")->click();
    }

    // The list's model, which holds every line byte for byte.
    katalox::widgets::ScanListModel& listLines() {
        return *static_cast<katalox::widgets::ScanListModel*>(
            control<QTableView>("ListBox1")->model());
    }
    // The start folder as bytes, exact where a folder name is not valid UTF-8.
    std::string startFolder() {
        auto* combo = control<QComboBox>("ComboBox1");
        return katalox::platform::keptBytes(combo, combo->currentText());
    }
    // The folder list of the last walk.
    const std::vector<std::string>& folderList() {
        return *katalox::scanner::dirListerState().DirList;
    }
    // The status caption reads "  Searching  " only while a scan runs.
    bool scanRunning() { return label("Label5")->text() == QStringLiteral("  Searching  "); }

    std::vector<std::string> lines() {
        std::vector<std::string> result;
        auto& model = listLines();
        for (std::size_t i = 0; i < model.lineCount(); ++i)
            result.emplace_back(model.line(i));
        return result;
    }
    std::vector<std::string> sortedLines() {
        auto result = lines();
        std::sort(result.begin(), result.end());
        return result;
    }

    katalox::test::ScriptedDialogs dialogs;
    katalox::test::TempDir dir;
    std::unique_ptr<TForm2> form = std::make_unique<TForm2>();
};
