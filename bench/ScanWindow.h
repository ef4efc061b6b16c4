#pragma once
// The scan window's list, for the benchmarks that scan through the window.
#include "widgets/ScanListModel.h"
#include "windows/TForm2.h"

#include "common/ScriptedDialogs.h"
#include "widgets/ShellTreeView.h"
#include "windows/Forms.h"
#include "windows/TForm1.h"

#include <QTableView>

#include <stdexcept>
#include <string>

namespace katalox::bench {

// The list of ListBox1, with every line byte for byte.
inline const widgets::ScanListModel& scanList(TForm2& form) {
    return *static_cast<widgets::ScanListModel*>(
        form.findChild<QTableView*>(QStringLiteral("ListBox1"))->model());
}

// The main window and a shown scan window, with dialogs that answer from a script, for the
// benchmarks that insert through the windows. Needs the application made first.
struct InsertWindows {
    InsertWindows() {
        Form1 = &main;
        form.show();
    }
    ~InsertWindows() { Form1 = nullptr; }
    InsertWindows(const InsertWindows&) = delete;
    InsertWindows& operator=(const InsertWindows&) = delete;

    test::ScriptedDialogs dialogs;
    TForm1 main;
    TForm2 form;
};

// Puts a generated folder in the window's folder tree and selects it as the start folder.
inline void selectStartFolder(TForm2& form, const std::string& folder) {
    auto* folders = form.findChild<widgets::ShellTreeView*>(QStringLiteral("ShellTreeView1"));
    folders->addTopFolder(folder);
    if (!folders->selectPath(folder))
        throw std::runtime_error("cannot select " + folder);
}

} // namespace katalox::bench
