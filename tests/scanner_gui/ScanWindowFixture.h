#pragma once
// A scan window with scripted dialogs and a temporary folder, for the window's tests.
#include "common/TempDir.h"
#include "platform/MessagePump.h"
#include "platform/gui/CheckedProgressBar.h"
#include "platform/gui/ScriptedDialogs.h"
#include "platform/gui/ShellTreeView.h"
#include "scanner/gui/ScanListModel.h"
#include "scanner/gui/TForm2.h"

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
    katalox::platform::ShellTreeView* tree() {
        return control<katalox::platform::ShellTreeView>("ShellTreeView1");
    }
    katalox::platform::CheckedProgressBar* progress() {
        return control<katalox::platform::CheckedProgressBar>("ProgressBar1");
    }

    void selectFolder(const std::string& path) { ASSERT_TRUE(tree()->selectPath(path)); }

    // Selects the folder and presses "Scan for Files".
    void scan(const std::string& path) {
        selectFolder(path);
        control<QPushButton>("BitBtn2")->click();
    }

    std::vector<std::string> lines() {
        std::vector<std::string> result;
        auto& model = form->listLines();
        for (std::size_t i = 0; i < model.lineCount(); ++i)
            result.emplace_back(model.line(i));
        return result;
    }
    std::vector<std::string> sortedLines() {
        auto result = lines();
        std::sort(result.begin(), result.end());
        return result;
    }

    katalox::platform::ScriptedDialogs dialogs;
    katalox::test::TempDir dir;
    std::unique_ptr<TForm2> form = std::make_unique<TForm2>();
};
