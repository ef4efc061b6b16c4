#pragma once
// The configuration window: where the catalogue table lies (a database folder and a table file
// name), kept in config.ini in the start directory. At start it reads config.ini and points the
// main window's table cursor and statement object at the table, offering the default location
// when the table cannot be used. Created hidden once at start; closing it only hides it.
#include <QWidget>

#include <memory>
#include <string>

class QLabel;
class TForm1;

namespace Ui {
class TForm3;
}

class TForm3 : public QWidget {
    Q_OBJECT
public:
    explicit TForm3(QWidget* parent = nullptr);
    ~TForm3() override;

    // Runs at start right after the window is created: LoadConfig, ChangeDB, then the main
    // window's Update. An error ends it at the failing step and goes to the caller.
    void FormCreate();
    // Reads config.ini into Label1 (table file name) and Label2 (database folder).
    void LoadConfig();
    // Writes the two labels to config.ini, replacing it only once the new file is complete.
    void saveconfig();
    // Points Table1 and Query1 at the setting in the labels and rebuilds the Disk ID tree; when
    // that fails, offers the default location, or shows this window when the user declines.
    void ChangeDB();
    // "Change Database File": lets the user pick a table file, then ChangeDB in every case.
    void Button1Click();
    // "Save Config": saveconfig, then "Config Saved".
    void Button2Click();
    // "Connect to Server...": opens the dialog naming a catalogue on a PostgreSQL server; its
    // OK puts the server's URI in Label2 and leaves the table file name, whose stem names the
    // server's table. Nothing is saved or opened until the user says so.
    void connectToServerClick();

    // The setting as the labels hold it, byte for byte (file names need not be valid UTF-8).
    std::string tableName() const;
    std::string databaseFolder() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void setTableName(const std::string& name);
    void setDatabaseFolder(const std::string& folder);
    static TForm1& mainWindow();

    std::unique_ptr<Ui::TForm3> ui;
};
