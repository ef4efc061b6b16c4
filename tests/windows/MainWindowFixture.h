#pragma once
// A main window over a catalogue of its own in a temporary folder, with scripted dialogs.
#include "widgets/DBGrid.h"
#include "windows/TForm1.h"
#include "common/TempDir.h"
#include "platform/Error.h"
#include "common/ScriptedDialogs.h"
#include "store/CatalogFile.h"
#include "store/CatalogFixture.h" // Record
#include "store/Query.h"
#include "store/Table.h"

#include <QAbstractItemModel>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace katalox::test {

class MainWindowFixture : public ::testing::Test {
protected:
    MainWindowFixture() { store::createEmptyCatalog(dir.file("Files.db")); }

    // Adds records through the main window's table cursor and leaves it open, as the start
    // leaves it.
    void insert(const std::vector<Record>& records) {
        store::Table* table = form.Table1;
        table->close();
        table->setDatabaseName(dir.path());
        table->setTableName("Files.db");
        table->open();
        for (const Record& record : records) {
            table->insert();
            table->setFieldText("File Name", record.name);
            table->setFieldText("File Path", record.path);
            table->setFieldText("Disk ID", record.diskId);
            table->setFieldInteger("File Size", record.size);
            table->post();
        }
        table->close();
        table->open();
        form.Query1->close();
        form.Query1->setDatabaseName(dir.path() + "/");
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
    test::ScriptedDialogs dialogs;
    TForm1 form;
};

} // namespace katalox::test
