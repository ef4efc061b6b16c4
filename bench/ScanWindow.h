#pragma once
// The scan window's list, for the benchmarks that scan through the window.
#include "widgets/ScanListModel.h"
#include "windows/TForm2.h"

#include <QTableView>

namespace katalox::bench {

// The list of ListBox1, with every line byte for byte.
inline const widgets::ScanListModel& scanList(TForm2& form) {
    return *static_cast<widgets::ScanListModel*>(
        form.findChild<QTableView*>(QStringLiteral("ListBox1"))->model());
}

} // namespace katalox::bench
