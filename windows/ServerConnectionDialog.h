#pragma once
// "Connect to Server...": names a catalogue on a PostgreSQL server by its connection URI, built
// from a host (or socket folder), port, database and user, or typed whole, and tests it. The URI
// goes into config.ini, so it never holds a password: libpq reads one from ~/.pgpass or
// PGPASSWORD.
#include <QDialog>

#include <optional>
#include <string>

class QLabel;
class QLineEdit;

class ServerConnectionDialog : public QDialog {
    Q_OBJECT
public:
    // Starts from `uri` when it names a server (the configuration's database folder); Test
    // Connection checks the catalogue table `table`.
    ServerConnectionDialog(QWidget* parent, const QString& uri, const std::string& table);

    // The URI as the dialog holds it.
    QString uri() const;

    // "Test Connection": connects (giving up after a few seconds, unless the URI sets its own
    // time-out), checks that the database holds the catalogue table and shows the outcome.
    void testConnection();
    // OK: closes with the URI unless it is refused, and then shows why.
    void accept() override;

private:
    // Why the URI cannot be used; none when it can.
    std::optional<QString> refusal() const;
    void rebuildUri();
    // The host, port, database and user that `uri` names, in their fields.
    void showParts(const QString& uri);
    void say(const QString& text);

    std::string table_;
    QLineEdit* host_;
    QLineEdit* port_;
    QLineEdit* database_;
    QLineEdit* user_;
    QLineEdit* uri_;
    QLabel* result_;
};
