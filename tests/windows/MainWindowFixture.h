#pragma once
// A main window over a catalogue of its own in a temporary folder, with scripted dialogs.
#include "common/ScriptedDialogs.h"
#include "common/TempDir.h"
#include "platform/Error.h"
#include "store/CatalogFixture.h" // Record
#include "store/catalog/CatalogFile.h"
#include "store/dataset/Query.h"
#include "store/dataset/Table.h"
#include "widgets/DBGrid.h"
#include "windows/TForm1.h"

#include <QAbstractItemModel>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace katalox::test {

// A main window and an empty catalogue of its own in a temporary folder.
class MainWindowOnCatalogue {
public:
    MainWindowOnCatalogue() { store::createEmptyCatalog(dir.file("Files.db")); }

    // Points the table cursor (left open, as the start leaves it) and the statement object at
    // the catalogue.
    void openCatalogue() { form.openCatalogue(dir.path(), "Files.db"); }

    // Adds records through the main window's table cursor, then opens the catalogue afresh.
    void insert(const std::vector<Record>& records) {
        openCatalogue();
        for (const Record& record : records)
            postRecord(*form.Table1, record);
        openCatalogue();
    }

    // The tree's Disk ID nodes, in order.
    QStringList diskIdNodes() const {
        QStringList texts;
        if (QTreeWidgetItem* root = form.TreeView1->topLevelItem(0))
            for (int i = 0; i < root->childCount(); ++i)
                texts << root->child(i)->text(0);
        return texts;
    }

    QTreeWidgetItem* node(const QString& text) const {
        const auto found = form.TreeView1->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
        return found.isEmpty() ? nullptr : found.front();
    }

    // One column of what the grid shows, top to bottom.
    QStringList gridColumn(int column) const {
        const QAbstractItemModel* model = form.DBGrid1->model();
        QStringList values;
        for (int row = 0; row < model->rowCount(); ++row)
            values << model->data(model->index(row, column), Qt::DisplayRole).toString();
        return values;
    }

    TempDir dir;
    TForm1 form;
};

class MainWindowFixture : public ::testing::Test, public MainWindowOnCatalogue {
protected:
    ScriptedDialogs dialogs;
};

} // namespace katalox::test
