#include "windows/TForm3.h"
#include "common/OtherProgram.h"
#include "common/ScriptedDialogs.h"
#include "common/TempDir.h"
#include "platform/gui/ErrorBox.h"
#include "store/catalog/CatalogFile.h"
#include "store/dataset/Query.h"
#include "store/dataset/Table.h"
#include "windows/Forms.h"
#include "windows/ServerConnectionDialog.h"
#include "windows/TForm1.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using katalox::store::Table;
using katalox::test::fileContent;

namespace {

const QString kMustBeSet = "Database configuration must be set";

std::string configText(const std::string& table, const std::string& folder) {
    return "TB Name  #= " + table + "\r\nDB PATH  #= " + folder + "\r\n";
}

// A catalogue table file holding one record per Disk ID given.
void makeCatalogue(const std::string& path, const std::vector<std::string>& diskIds = {}) {
    const std::filesystem::path file(path);
    std::filesystem::create_directories(file.parent_path());
    katalox::store::createEmptyCatalog(path);
    Table table;
    table.setDatabaseName(file.parent_path().string());
    table.setTableName(file.filename().string());
    table.open();
    for (const std::string& diskId : diskIds) {
        table.insert();
        table.setFieldText("Disk ID", diskId);
        table.post();
    }
    table.close();
}

// The start as far as the configuration window goes: the main window with its catalogue
// components and AppDir, then the configuration window.
class ConfigurationWindow : public testing::Test {
protected:
    void SetUp() override {
        Form1 = new TForm1;
        Form1->AppDir = app.path();
        form = std::make_unique<TForm3>();
    }
    void TearDown() override {
        form.reset();
        delete Form1;
        Form1 = nullptr;
    }

    std::string configPath() const { return app.file("config.ini"); }
    std::string defaultFolder() const { return app.path() + "/DataBase/"; }
    QString question() const {
        return " Use default " + QString::fromStdString(app.path()) +
               "/Database Location? (First time users should click OK)";
    }
    // FormCreate as the start runs it: an error goes to the error box and the start goes on.
    void start(TForm3& window) {
        katalox::platform::guarded([&] { window.FormCreate(); });
    }
    void start() { start(*form); }
    // The tree's nodes, root first; empty when the tree has no nodes at all.
    QStringList tree() const {
        QStringList nodes;
        for (QTreeWidgetItemIterator it(Form1->TreeView1); *it; ++it)
            nodes << (*it)->text(0);
        return nodes;
    }
    Table& table1() const { return *Form1->Table1; }
    // "Connect to Server...", the dialog it opens, and that dialog's parts.
    ServerConnectionDialog& openServerDialog() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // dialogs closed
        form->findChild<QPushButton*>("connectToServerButton")->click();
        return *form->findChild<ServerConnectionDialog*>();
    }
    static QLineEdit* field(ServerConnectionDialog& dialog, const char* name) {
        return dialog.findChild<QLineEdit*>(name);
    }
    static QString result(ServerConnectionDialog& dialog) {
        return dialog.findChild<QLabel*>("result")->text();
    }
    static void pressOk(ServerConnectionDialog& dialog) {
        dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    }

    katalox::test::TempDir app;
    katalox::test::ScriptedDialogs dialogs;
    std::unique_ptr<TForm3> form;
};

} // namespace

TEST_F(ConfigurationWindow, LayoutShowsEveryCaptionWholeAndClosingOnlyHides) {
    EXPECT_EQ(form->size(), QSize(391, 127));
    EXPECT_EQ(form->findChild<QLabel*>("Label1")->text(), "Table");
    EXPECT_EQ(form->findChild<QLabel*>("Label2")->text(), "DB Path");
    for (QLabel* text : form->findChildren<QLabel*>())
        EXPECT_LE(text->fontMetrics().horizontalAdvance(text->text()), text->width());
    auto* change = form->findChild<QPushButton*>("Button1");
    EXPECT_GE(change->width(), change->sizeHint().width());
    EXPECT_EQ(change->nextInFocusChain(), form->findChild<QPushButton*>("Button2"));
    form->show();
    form->close();
    QApplication::processEvents();
    EXPECT_TRUE(form->isHidden());
}

// A long folder wraps on screen, but the label's text, what a copy or a screen reader gets, is
// the folder exactly.
TEST_F(ConfigurationWindow, ALongFolderIsTheLabelsTextExactly) {
    std::string folder = app.path() + "/";
    while (folder.size() < 150)
        folder += "Long Folder Name/";
    std::filesystem::create_directories(folder);
    makeCatalogue(folder + "Files.db", {"Deep"});
    app.write("config.ini", configText("Files.db", folder));
    start();
    EXPECT_EQ(form->findChild<QLabel*>("Label2")->text().toStdString(), folder);
    EXPECT_EQ(form->databaseFolder(), folder);
    EXPECT_EQ(tree(), (QStringList{"All Disks", "Deep"}));
}

TEST_F(ConfigurationWindow, UsableConfigurationOpensTheTableWithoutQuestions) {
    const std::string folder = app.mkdir("cat") + "/";
    makeCatalogue(folder + "Files.db", {"Disk B", "Disk A", "Disk B"});
    app.write("config.ini", configText("Files.db", folder));
    start();
    EXPECT_TRUE(dialogs.shown().empty());
    EXPECT_EQ(form->tableName(), "Files.db");
    EXPECT_EQ(form->databaseFolder(), folder);
    EXPECT_TRUE(table1().active());
    EXPECT_EQ(Form1->Query1->databaseName(), folder);
    EXPECT_EQ(tree(), (QStringList{"All Disks", "Disk A", "Disk B"}));
    EXPECT_TRUE(form->isHidden());
}

TEST_F(ConfigurationWindow, ABusyCatalogueIsReportedAndKeptInTheConfiguration) {
    const std::string folder = app.mkdir("cat") + "/";
    makeCatalogue(folder + "Files.db", {"Disk A"});
    makeCatalogue(defaultFolder() + "Files.db"); // a default that would open
    const std::string config = configText("Files.db", folder);
    app.write("config.ini", config);
    // Another program writes to the catalogue and holds it locked while the program starts.
    katalox::test::OtherProgram other(folder + "Files.db");
    other.exec("BEGIN EXCLUSIVE");
    dialogs.answerConfirm(true);
    start();
    other.exec("COMMIT");

    // No offer of the default: the engine's message, and the setting stays.
    EXPECT_TRUE(dialogs.texts("confirm").isEmpty());
    EXPECT_EQ(dialogs.texts("error"), QStringList{"database is locked."});
    EXPECT_EQ(fileContent(configPath()), config);
    EXPECT_EQ(form->databaseFolder(), folder);
    EXPECT_FALSE(table1().active());
}

TEST_F(ConfigurationWindow, UnreadableOrShortConfigurationEndsTheStartAtThatError) {
    makeCatalogue(defaultFolder() + "Files.db", {"X"});
    const std::string path = configPath();
    const struct {
        std::function<void()> prepare;
        QString error;
        QString label1;
    } rows[] = {
        {[] {}, "Cannot open file \"" + QString::fromStdString(path) + "\". ", "Table"},
        {[&] { app.mkdir("config.ini"); }, "Cannot open file \"", "Table"},
        {[&] { std::filesystem::remove(path), app.write("config.ini", ""); },
         "List index out of bounds (0)", "Table"},
        {[&] { app.write("config.ini", "TB Name  #= Files.db\r\n"); },
         "List index out of bounds (1)", "Files.db"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.error.toStdString());
        dialogs.clear();
        TForm3 window;
        row.prepare();
        start(window);
        ASSERT_EQ(dialogs.shown().size(), 1u); // neither ChangeDB nor Update ran
        EXPECT_TRUE(dialogs.texts("error").value(0).startsWith(row.error));
        EXPECT_EQ(window.tableName(), row.label1.toStdString());
        EXPECT_EQ(window.databaseFolder(), "DB Path");
        EXPECT_EQ(table1().tableName(), "");
        EXPECT_TRUE(tree().isEmpty());
    }
}

TEST_F(ConfigurationWindow, AcceptedDefaultIsUsedAndSavedAndAsksNothingNextTime) {
    makeCatalogue(defaultFolder() + "Files.db", {"Default disk"});
    app.write("config.ini", configText("Files.db", "/no/such/folder/"));
    dialogs.answerConfirm(true);
    start();
    EXPECT_EQ(dialogs.texts("message"), QStringList{kMustBeSet}); // no "Config Saved"
    EXPECT_EQ(dialogs.texts("confirm"), QStringList{question()});
    EXPECT_TRUE(dialogs.texts("error").isEmpty());
    EXPECT_EQ(form->databaseFolder(), defaultFolder());
    EXPECT_TRUE(table1().active());
    EXPECT_EQ(tree(), (QStringList{"All Disks", "Default disk"}));
    EXPECT_EQ(fileContent(configPath()), configText("Files.db", defaultFolder()));

    dialogs.clear();
    TForm3 next;
    start(next);
    EXPECT_TRUE(dialogs.shown().empty());
}

TEST_F(ConfigurationWindow, AcceptedDefaultThatFailsLeavesLabelsAndFileAsTheyWere) {
    const std::string config = configText("Files.db", "/no/such/folder/");
    app.write("config.ini", config);
    dialogs.answerConfirm(true);
    start();
    EXPECT_EQ(dialogs.texts("error").size(), 1);
    EXPECT_EQ(form->databaseFolder(), "/no/such/folder/");
    EXPECT_EQ(fileContent(configPath()), config);
    EXPECT_FALSE(table1().active());
    EXPECT_EQ(table1().databaseName(), defaultFolder());
    EXPECT_EQ(Form1->Query1->databaseName(), defaultFolder());
    EXPECT_TRUE(tree().isEmpty());
}

TEST_F(ConfigurationWindow, RefusedDefaultShowsTheWindowAndTheStartQueriesTheConfiguredFolder) {
    // The configured table file is missing, but its folder holds a Files table.
    const std::string folder = app.mkdir("cat") + "/";
    makeCatalogue(folder + "Files.db", {"Kept"});
    app.write("config.ini", configText("Gone.db", folder));
    start();
    EXPECT_EQ(dialogs.texts("confirm"), QStringList{question()});
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(table1().tableName(), "Gone.db");
    EXPECT_FALSE(table1().active());
    EXPECT_EQ(tree(), (QStringList{"All Disks", "Kept"}));

    // Where the configured folder holds nothing, that query fails and the tree stays empty.
    Form1->TreeView1->clear();
    dialogs.clear();
    app.write("config.ini", configText("Files.db", "/no/such/folder/"));
    TForm3 next;
    start(next);
    EXPECT_EQ(dialogs.texts("error").size(), 1);
    EXPECT_TRUE(next.isVisible());
    EXPECT_TRUE(tree().isEmpty());
}

TEST_F(ConfigurationWindow, DamagedInputGetsTheFallbackNeverACrash) {
    std::string garbage;
    for (int i = 0; i < 3000; ++i)
        garbage += static_cast<char>((i * 131 + 7) % 256);
    app.write("junk/Files.db", std::string(4096, '\x7F')); // not an SQLite file
    makeCatalogue(app.path() + "/other/Other.db");         // holds no Files table
    for (const std::string& content :
         {garbage + "\n" + garbage,
          configText(std::string(100'000, 'a'), std::string(100'000, 'b')),
          configText("Files.db", app.path() + "/junk/"),
          configText("Other.db", app.path() + "/other/")}) {
        dialogs.clear();
        app.write("config.ini", content);
        TForm3 window;
        start(window);
        EXPECT_EQ(dialogs.texts("message"), QStringList{kMustBeSet});
        EXPECT_LE(window.databaseFolder().size(), 800u);
    }
}

TEST_F(ConfigurationWindow, SaveConfigWritesTheLabelsWhole) {
    makeCatalogue(defaultFolder() + "Files.db");
    form->Button2Click(); // the captions at creation are written as they stand
    EXPECT_EQ(fileContent(configPath()), configText("Table", "DB Path"));
    EXPECT_EQ(dialogs.texts("message"), QStringList{"Config Saved"});

    const std::string folder = app.mkdir(std::string(230, 'd')) + "/"; // longer than 200
    makeCatalogue(folder + "Files.db");
    dialogs.answerOpenFile(folder + "Files.db");
    form->Button1Click();
    EXPECT_EQ(fileContent(configPath()), configText("Table", "DB Path")); // not saved yet
    form->Button2Click();
    EXPECT_EQ(fileContent(configPath()), configText("Files.db", folder));

    std::filesystem::remove(configPath());
    app.mkdir("config.ini");
    dialogs.clear();
    katalox::platform::guarded([this] { form->Button2Click(); });
    EXPECT_TRUE(dialogs.texts("error").value(0).startsWith("Cannot create file \""));
    EXPECT_TRUE(dialogs.texts("message").isEmpty());
}

TEST_F(ConfigurationWindow, ChangeDatabaseFileMovesTheCatalogueOrReappliesTheSetting) {
    makeCatalogue(defaultFolder() + "Files.db", {"Default"});
    const std::string other = app.mkdir("other") + "/";
    makeCatalogue(other + "Files.db", {"From Files"});
    makeCatalogue(other + "Cat.db", {"From Cat"});

    dialogs.answerOpenFile(other + "Cat.db");
    form->Button1Click();
    EXPECT_EQ(dialogs.texts("openFile"), QStringList{"Database Files (*.db)|*.db"});
    EXPECT_EQ(form->tableName(), "Cat.db");
    EXPECT_EQ(form->databaseFolder(), other);
    EXPECT_EQ(table1().tableName(), "Cat.db");
    EXPECT_TRUE(table1().active());
    EXPECT_EQ(tree(), (QStringList{"All Disks", "From Files"})); // queries always use Files

    // Cancelled, or a file that is not there: the setting is applied again, the tree rebuilt.
    makeCatalogue(other + "Late.db");
    Table late;
    late.setDatabaseName(other);
    late.setTableName("Files.db");
    late.open();
    late.insert();
    late.setFieldText("Disk ID", "Late");
    late.post();
    late.close();
    form->Button1Click();
    EXPECT_EQ(tree(), (QStringList{"All Disks", "From Files", "Late"}));
    dialogs.answerOpenFile(other + "Gone.db");
    form->Button1Click();
    EXPECT_EQ(form->tableName(), "Cat.db");
    EXPECT_TRUE(table1().active());
    EXPECT_TRUE(dialogs.texts("confirm").isEmpty());
}

TEST_F(ConfigurationWindow, FolderNamesReachTheFileSystemByteForByte) {
    const std::string folder = app.mkdir("caf\xE9 \xFF") + "/"; // not valid UTF-8
    makeCatalogue(folder + "Files.db", {"Odd"});
    dialogs.answerOpenFile(folder + "Files.db");
    form->Button1Click();
    EXPECT_EQ(table1().databaseName(), folder);
    EXPECT_TRUE(table1().active());
    form->Button2Click();
    TForm3 next;
    next.LoadConfig();
    EXPECT_EQ(next.databaseFolder(), folder);
}

TEST_F(ConfigurationWindow, AtTheRootTheQuestionHoldsTwoSeparators) {
    Form1->AppDir = "/";
    form->ChangeDB();
    EXPECT_EQ(dialogs.texts("confirm"),
              QStringList{" Use default //Database Location? (First time users should click OK)"});
}

TEST_F(ConfigurationWindow, ConnectToServerSitsBesideTheFileButton) {
    auto* server = form->findChild<QPushButton*>("connectToServerButton");
    ASSERT_NE(server, nullptr);
    EXPECT_EQ(server->text(), "Connect to Server...");
    EXPECT_GE(server->width(), server->sizeHint().width());
    const auto inForm = [&](QWidget* widget) {
        return QRect(widget->mapTo(form.get(), QPoint(0, 0)), widget->size());
    };
    const QRect change = inForm(form->findChild<QPushButton*>("Button1"));
    const QRect save = inForm(form->findChild<QPushButton*>("Button2"));
    EXPECT_GT(inForm(server).left(), change.right());
    EXPECT_EQ(inForm(server).top(), change.top());
    EXPECT_FALSE(inForm(server).intersects(save));
    EXPECT_TRUE(form->rect().contains(inForm(server)));
}

TEST_F(ConfigurationWindow, ConnectToServerPutsTheUriItBuildsInTheDatabaseFolder) {
    const std::string config = configText("Files.db", "/no/such/folder/");
    app.write("config.ini", config);
    form->LoadConfig();
    ServerConnectionDialog& dialog = openServerDialog();
    EXPECT_EQ(dialog.uri(), ""); // a folder is no start for a URI
    const struct {
        QString host, port, database, user, uri;
    } rows[] = {
        {"db.example.org", "5433", "katalog", "ann",
         "postgresql://ann@db.example.org:5433/katalog"},
        {" db.example.org ", "", "katalog", "", "postgresql://db.example.org/katalog"},
        {"/run/postgresql", "", "katalog", "ann", "postgresql://ann@/katalog?host=/run/postgresql"},
        {"/tmp/my sockets", "5433", "", "", "postgresql:///?host=/tmp/my%20sockets&port=5433"},
        {"::1", "", "my db", "o'brien@home", "postgresql://o%27brien%40home@[::1]/my%20db"},
        {"", "", "", "ann:colon", "postgresql://ann%3Acolon@"},
        {"", "", "", "", ""},
    };
    for (const auto& row : rows) {
        field(dialog, "host")->setText(row.host);
        field(dialog, "port")->setText(row.port);
        field(dialog, "database")->setText(row.database);
        field(dialog, "user")->setText(row.user);
        EXPECT_EQ(dialog.uri(), row.uri) << row.uri.toStdString();
    }
    pressOk(dialog); // nothing to connect to
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(result(dialog).contains("postgresql://"));

    field(dialog, "host")->setText("/no/such/sockets");
    field(dialog, "port")->setText("5433");
    field(dialog, "database")->setText("katalog");
    field(dialog, "user")->setText("ann");
    pressOk(dialog);
    EXPECT_FALSE(dialog.isVisible());
    const std::string uri = "postgresql://ann@/katalog?host=/no/such/sockets&port=5433";
    EXPECT_EQ(form->databaseFolder(), uri);
    EXPECT_EQ(form->tableName(), "Files.db");
    // Opened at once: a server out of reach is told, and neither replaced by the default nor
    // written to config.ini, which only Save Config writes.
    ASSERT_EQ(dialogs.texts("message").size(), 1);
    EXPECT_TRUE(dialogs.texts("message").front().startsWith(
        "The catalogue on the server cannot be opened: Cannot connect"))
        << dialogs.texts("message").front().toStdString();
    EXPECT_TRUE(dialogs.texts("confirm").isEmpty());
    EXPECT_EQ(fileContent(configPath()), config);
    form->Button2Click();
    EXPECT_EQ(fileContent(configPath()), configText("Files.db", uri));

    // The next time the dialog starts from the server named, which may be typed over whole.
    ServerConnectionDialog& next = openServerDialog();
    EXPECT_EQ(next.uri().toStdString(), uri);
    EXPECT_EQ(field(next, "host")->text(), "/no/such/sockets");
    EXPECT_EQ(field(next, "port")->text(), "5433");
    EXPECT_EQ(field(next, "database")->text(), "katalog");
    EXPECT_EQ(field(next, "user")->text(), "ann");
    field(next, "uri")->setText("postgres:///other?host=/no/such/sockets&sslmode=disable");
    pressOk(next);
    EXPECT_EQ(form->databaseFolder(), "postgres:///other?host=/no/such/sockets&sslmode=disable");
}

TEST_F(ConfigurationWindow, APasswordInTheUriIsRefusedAndNeverReachesConfigIni) {
    const std::string config = configText("Files.db", "postgresql://ann@db/katalog");
    app.write("config.ini", config);
    form->LoadConfig();
    ServerConnectionDialog& dialog = openServerDialog();
    for (const QString& uri :
         QStringList{"postgresql://ann:s3cret@db/katalog", "postgres://:s3cret@db",
                     "postgresql://ann@db/katalog?sslmode=require&password=s3cret"}) {
        field(dialog, "uri")->setText(uri);
        pressOk(dialog);
        EXPECT_TRUE(dialog.isVisible()) << uri.toStdString();
        EXPECT_TRUE(result(dialog).contains("~/.pgpass"));
        EXPECT_TRUE(result(dialog).contains("PGPASSWORD"));
        // Not even tried: the same refusal, before any connection.
        dialog.findChild<QLabel*>("result")->clear();
        dialog.testConnection();
        EXPECT_TRUE(result(dialog).contains("~/.pgpass"));
    }
    dialog.reject();
    form->Button2Click();
    EXPECT_EQ(form->databaseFolder(), "postgresql://ann@db/katalog");
    EXPECT_EQ(fileContent(configPath()), config);
}
