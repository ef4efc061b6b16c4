#include "windows/TForm3.h"

#include "platform/DisplayText.h"
#include "platform/Error.h"
#include "platform/Find.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ErrorBox.h"
#include "scanner/DirLister.h"
#include "store/postgres/ServerCatalogue.h"
#include "store/settings/ConfigFile.h"
#include "ui_TForm3.h"
#include "widgets/WindowHelpers.h"
#include "windows/Forms.h"
#include "windows/ServerConnectionDialog.h"
#include "windows/TForm1.h"

#include <QShowEvent>

#include <algorithm>
#include <filesystem>

using katalox::platform::Dialogs;
using katalox::store::ConfigFile;

namespace {

// Tries of a busy catalogue before giving up; each waits as long as the engine waits for a lock.
constexpr int kBusyAttempts = 2;

// The open-file dialog's one filter and its default extension.
const char* const kOpenDialog1Filter = "Database Files (*.db)";
const char* const kOpenDialog1DefaultExt = "*.db";

// The labels show the setting as text and keep its exact bytes.
void setCaption(QLabel* label, const std::string& bytes, const QString& shown) {
    katalox::platform::keepBytes(label, bytes);
    label->setText(shown);
}

std::string caption(const QLabel* label) {
    return katalox::platform::keptBytes(label, label->text());
}

} // namespace

TForm3::TForm3(QWidget* parent) : QWidget(parent, Qt::Window), ui(std::make_unique<Ui::TForm3>()) {
    ui->setupUi(this);
    katalox::widgets::useWindowFont(this);
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    setFixedSize(391, 127);
    for (QLabel* label : {ui->Label3, ui->Label4})
        katalox::widgets::fitLabelToText(label, label->width());
    // The button keeps its place but widens when the font needs more room for its caption.
    ui->Button1->resize(std::max(ui->Button1->width(), ui->Button1->sizeHint().width()),
                        ui->Button1->height());
    // Ours stays beside it, as wide as its caption needs.
    QPushButton* server = ui->connectToServerButton;
    server->setGeometry(ui->Button1->geometry().right() + 8, server->y(),
                        std::max(server->width(), server->sizeHint().width()), server->height());
    katalox::widgets::closeOnEscape(this);
    setTableName("Table");
    setDatabaseFolder("DB Path");
    katalox::platform::connectGuarded(ui->Button1, &QPushButton::clicked, this,
                                      &TForm3::Button1Click);
    katalox::platform::connectGuarded(ui->Button2, &QPushButton::clicked, this,
                                      &TForm3::Button2Click);
    katalox::platform::connectGuarded(ui->connectToServerButton, &QPushButton::clicked, this,
                                      &TForm3::connectToServerClick);
}

TForm3::~TForm3() = default;

TForm1& TForm3::mainWindow() {
    if (!Form1)
        throw katalox::Error("The main window is missing");
    return *Form1;
}

std::string TForm3::tableName() const {
    return caption(ui->Label1);
}

std::string TForm3::databaseFolder() const {
    return caption(ui->Label2);
}

void TForm3::setTableName(const std::string& name) {
    setCaption(ui->Label1, name, katalox::platform::displayText(name));
    // Sized to its text, like the caption it replaces.
    katalox::widgets::fitLabelToText(ui->Label1);
}

void TForm3::setDatabaseFolder(const std::string& folder) {
    // The label wraps a long path itself; its text is the folder exactly.
    setCaption(ui->Label2, folder, katalox::platform::displayText(folder));
    ui->Label2->setToolTip(ui->Label2->text());
}

void TForm3::FormCreate() {
    LoadConfig();
    ChangeDB();
    mainWindow().Update();
}

void TForm3::LoadConfig() {
    const auto lines = ConfigFile::readLines(ConfigFile::path(mainWindow().AppDir));
    setTableName(ConfigFile::value(lines, 0));
    setDatabaseFolder(ConfigFile::value(lines, 1));
}

void TForm3::saveconfig() {
    ConfigFile::write(ConfigFile::path(mainWindow().AppDir), tableName(), databaseFolder());
}

void TForm3::ChangeDB() {
    // A catalogue another program holds locked is busy, not unusable: it is tried for a few
    // seconds, then the engine's message reaches the caller and the setting stays as it is.
    for (int attempt = 1;; ++attempt) {
        try {
            mainWindow().openCatalogue(databaseFolder(), tableName());
            mainWindow().Update();
            return;
        } catch (const katalox::EngineBusyError&) {
            if (attempt == kBusyAttempts)
                throw;
        } catch (const std::exception& error) {
            // A server out of reach now is not replaced by the default: the user learns why,
            // and the setting stays, to be tried again or changed here.
            if (katalox::store::isServerUri(databaseFolder())) {
                Dialogs::instance().showMessage(
                    tr("The catalogue on the server cannot be opened: %1")
                        .arg(QString::fromUtf8(error.what())));
                katalox::widgets::showForm(this);
                return;
            }
            // The engine's own message is not shown: the user is offered the default instead.
            break;
        }
    }
    Dialogs& dialogs = Dialogs::instance();
    dialogs.showMessage(QStringLiteral("Database configuration must be set"));
    const std::string& appDir = mainWindow().AppDir;
    if (!dialogs.confirm(
            QStringLiteral(" Use default ") + katalox::platform::displayText(appDir) +
            QStringLiteral("/Database Location? (First time users should click OK)"))) {
        katalox::widgets::showForm(this);
        return;
    }
    // From here on an error leaves ChangeDB for its caller, keeping what was done before it.
    const std::string folder = ConfigFile::defaultFolder(appDir);
    mainWindow().openCatalogue(folder, ConfigFile::kDefaultTableName);
    mainWindow().Update();
    setTableName(ConfigFile::kDefaultTableName);
    setDatabaseFolder(folder);
    saveconfig();
}

void TForm3::Button1Click() {
    const auto chosen = Dialogs::instance().openFile(QString::fromLatin1(kOpenDialog1Filter),
                                                     QString::fromLatin1(kOpenDialog1DefaultExt));
    if (chosen) {
        if (const auto found = katalox::platform::FindOperation::lookUp(*chosen)) {
            setTableName(found->name);
            setDatabaseFolder(katalox::scanner::ExtractDirPart(*chosen));
        }
    }
    ChangeDB();
}

void TForm3::Button2Click() {
    saveconfig();
    Dialogs::instance().showMessage(QStringLiteral("Config Saved"));
}

void TForm3::connectToServerClick() {
    const std::string table = std::filesystem::path(tableName()).stem().string();
    auto* dialog =
        new ServerConnectionDialog(this, QString::fromStdString(databaseFolder()), table);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // As after picking a file, the catalogue named is opened at once.
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        setDatabaseFolder(dialog->uri().toStdString());
        katalox::platform::guarded([this] { ChangeDB(); });
    });
    dialog->open();
}

void TForm3::showEvent(QShowEvent* event) {
    if (!event->spontaneous())
        katalox::widgets::centreOverMainWindow(this);
    QWidget::showEvent(event);
}
