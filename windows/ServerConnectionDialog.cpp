#include "windows/ServerConnectionDialog.h"

#include "platform/gui/ErrorBox.h"
#include "store/postgres/PgCatalogue.h"
#include "store/postgres/PgConnection.h"
#include "widgets/WindowHelpers.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QUrl>
#include <QUrlQuery>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Seconds a test waits for the server to answer before it reports it unreachable.
constexpr const char* kTestTimeout = "5";

bool isServerUri(const QString& uri) {
    return uri.startsWith(QLatin1String("postgresql://")) ||
           uri.startsWith(QLatin1String("postgres://"));
}

QString encoded(const QString& part, const QByteArray& keep = {}) {
    return QString::fromLatin1(QUrl::toPercentEncoding(part, keep));
}

// postgresql://user@host:port/database, or for a socket folder (a host that is a path)
// postgresql://user@/database?host=/folder&port=port. Parts left empty get libpq's defaults.
QString uriOf(const QString& host, const QString& port, const QString& database,
              const QString& user) {
    if (host.isEmpty() && port.isEmpty() && database.isEmpty() && user.isEmpty())
        return {};
    QString uri = QStringLiteral("postgresql://");
    if (!user.isEmpty())
        uri += encoded(user) + '@';
    const bool socket = host.startsWith('/');
    QStringList query;
    if (socket) {
        query << QStringLiteral("host=") + encoded(host, "/");
        if (!port.isEmpty())
            query << QStringLiteral("port=") + port;
    } else {
        // An IPv6 address keeps its colons inside brackets.
        uri += host.contains(':') && !host.startsWith('[') ? '[' + host + ']' : encoded(host);
        if (!port.isEmpty())
            uri += ':' + port;
    }
    if (!database.isEmpty() || !query.isEmpty())
        uri += '/' + encoded(database);
    if (!query.isEmpty())
        uri += '?' + query.join('&');
    return uri;
}

// user:password@ before the host, or password= among the parameters.
bool holdsPassword(const QString& uri) {
    const qsizetype authority = uri.indexOf(QLatin1String("://")) + 3;
    qsizetype authorityEnd = uri.size();
    for (const QChar end : {QChar('/'), QChar('?')}) {
        if (const qsizetype at = uri.indexOf(end, authority); at >= 0)
            authorityEnd = std::min(authorityEnd, at);
    }
    const qsizetype at = uri.lastIndexOf('@', authorityEnd - 1);
    const qsizetype colon = uri.indexOf(':', authority);
    if (at >= authority && colon >= 0 && colon < at)
        return true;
    const qsizetype query = uri.indexOf('?', authorityEnd);
    if (query < 0)
        return false;
    for (const QString& item : uri.mid(query + 1).split('&')) {
        if (item.startsWith(QLatin1String("password=")))
            return true;
    }
    return false;
}

// The URI a test connects with: the short time-out added, unless the URI sets one.
std::string withTestTimeout(const QString& uri) {
    std::string tried = uri.toStdString();
    if (tried.find("connect_timeout=") == std::string::npos)
        tried += std::string(uri.contains('?') ? "&" : "?") + "connect_timeout=" + kTestTimeout;
    return tried;
}

} // namespace

ServerConnectionDialog::ServerConnectionDialog(QWidget* parent, const QString& uri,
                                               const std::string& table)
    : QDialog(parent), table_(table), host_(new QLineEdit(this)), port_(new QLineEdit(this)),
      database_(new QLineEdit(this)), user_(new QLineEdit(this)), uri_(new QLineEdit(this)),
      result_(new QLabel(this)) {
    setObjectName(QStringLiteral("serverConnection"));
    setWindowTitle(tr("Connect to Server"));
    katalox::widgets::useWindowFont(this);
    host_->setObjectName(QStringLiteral("host"));
    host_->setPlaceholderText(tr("db.example.org, or a socket folder such as /run/postgresql"));
    port_->setObjectName(QStringLiteral("port"));
    port_->setPlaceholderText(QStringLiteral("5432"));
    port_->setValidator(new QIntValidator(1, 65535, port_));
    database_->setObjectName(QStringLiteral("database"));
    user_->setObjectName(QStringLiteral("user"));
    uri_->setObjectName(QStringLiteral("uri"));
    uri_->setPlaceholderText(tr("postgresql://user@host:port/database"));
    uri_->setMinimumWidth(uri_->fontMetrics().horizontalAdvance(QString(56, 'x')));
    if (isServerUri(uri)) {
        uri_->setText(uri);
        showParts(uri);
    }
    auto* fields = new QFormLayout;
    fields->addRow(tr("Host or socket folder:"), host_);
    fields->addRow(tr("Port:"), port_);
    fields->addRow(tr("Database:"), database_);
    fields->addRow(tr("User:"), user_);
    fields->addRow(tr("Connection URI:"), uri_);
    for (QLineEdit* part : {host_, port_, database_, user_})
        connect(part, &QLineEdit::textChanged, this, &ServerConnectionDialog::rebuildUri);

    auto* note = new QLabel(tr("A password is never kept here: put it in ~/.pgpass or "
                               "PGPASSWORD, where libpq finds it. OK puts the URI in the "
                               "configuration, Save Config keeps it in config.ini."),
                            this);
    note->setWordWrap(true);
    auto* test = new QPushButton(tr("Test Connection"), this);
    test->setObjectName(QStringLiteral("testConnection"));
    katalox::platform::connectGuarded(test, &QPushButton::clicked, this,
                                      &ServerConnectionDialog::testConnection);
    result_->setObjectName(QStringLiteral("result"));
    result_->setWordWrap(true);
    // The command a message names can be copied from it.
    result_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &ServerConnectionDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ServerConnectionDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(note);
    auto* testRow = new QHBoxLayout;
    testRow->addWidget(test);
    testRow->addStretch(1);
    layout->addLayout(testRow);
    layout->addWidget(result_);
    layout->addWidget(buttons);
}

QString ServerConnectionDialog::uri() const {
    return uri_->text().trimmed();
}

void ServerConnectionDialog::showParts(const QString& uri) {
    const QUrl url(uri);
    if (!url.isValid())
        return;
    const QUrlQuery query(url);
    const auto item = [&](const char* key) {
        return query.queryItemValue(QLatin1String(key), QUrl::FullyDecoded);
    };
    // Set without rebuilding the URI line, which keeps the settings the fields do not show.
    const QSignalBlocker blockers[] = {QSignalBlocker(host_), QSignalBlocker(port_),
                                       QSignalBlocker(database_), QSignalBlocker(user_)};
    host_->setText(item("host").isEmpty() ? url.host(QUrl::FullyDecoded) : item("host"));
    port_->setText(url.port() > 0 ? QString::number(url.port()) : item("port"));
    database_->setText(url.path(QUrl::FullyDecoded).mid(1));
    user_->setText(url.userName(QUrl::FullyDecoded).isEmpty() ? item("user")
                                                              : url.userName(QUrl::FullyDecoded));
}

void ServerConnectionDialog::rebuildUri() {
    uri_->setText(uriOf(host_->text().trimmed(), port_->text().trimmed(),
                        database_->text().trimmed(), user_->text().trimmed()));
}

std::optional<QString> ServerConnectionDialog::refusal() const {
    const QString given = uri();
    if (!isServerUri(given))
        return tr("Give the server's host and database, or a connection URI beginning with "
                  "postgresql://");
    if (holdsPassword(given))
        return tr("The URI holds a password, which would be written to config.ini: leave it out "
                  "and keep it in ~/.pgpass or in PGPASSWORD, which libpq reads.");
    return std::nullopt;
}

void ServerConnectionDialog::say(const QString& text) {
    result_->setText(text);
}

void ServerConnectionDialog::testConnection() {
    if (const auto refused = refusal()) {
        say(*refused);
        return;
    }
    using katalox::store::uriForDisplay;
    const std::string given = uri().toStdString();
    const std::string tried = withTestTimeout(uri());
    const QString shown = QString::fromStdString(uriForDisplay(given));
    say(tr("Connecting..."));
    result_->repaint();
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        katalox::store::PgConnection db(tried);
        katalox::store::checkCatalogue(db, given, table_);
        say(tr("Connected: %1 holds the catalogue table \"%2\".")
                .arg(shown, QString::fromStdString(table_)));
    } catch (const std::exception& error) {
        // The message names the server as the user gave it, without the time-out added.
        QString message = QString::fromStdString(error.what())
                              .replace(QString::fromStdString(uriForDisplay(tried)), shown);
        if (message.contains(QLatin1String("password")))
            message += tr(" (libpq reads the password from ~/.pgpass or PGPASSWORD)");
        say(message);
    }
    QGuiApplication::restoreOverrideCursor();
}

void ServerConnectionDialog::accept() {
    if (const auto refused = refusal()) {
        say(*refused);
        uri_->setFocus();
        return;
    }
    QDialog::accept();
}
