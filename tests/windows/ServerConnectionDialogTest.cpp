// "Test Connection" of the server dialog, against the throwaway server ctest starts.
#include "windows/ServerConnectionDialog.h"
#include "postgres/PostgresTest.h"
#include "store/postgres/PgCatalogue.h"

#include <QLabel>
#include <QLineEdit>
#include <gtest/gtest.h>

namespace katalox::test {
namespace {

class ServerConnectionTest : public PostgresTest {
protected:
    // Test Connection on the catalogue table `table`, the dialog holding `uri`; its outcome.
    static std::string tested(const std::string& uri, const std::string& table = "Files") {
        ServerConnectionDialog dialog(nullptr, QString::fromStdString(uri), table);
        dialog.testConnection();
        return dialog.findChild<QLabel*>("result")->text().toStdString();
    }
    // The test server's socket folder.
    static QString socketFolder() {
        const QString server = QString::fromLocal8Bit(std::getenv("KATALOX_TEST_POSTGRES"));
        const qsizetype from = server.indexOf("host=") + 5;
        return server.mid(from, server.indexOf('&', from) - from);
    }
};

TEST_F(ServerConnectionTest, TellsWhetherTheDatabaseHoldsTheCatalogue) {
    // The URI built from the fields, a socket folder for host, reaches the server.
    ServerConnectionDialog dialog(nullptr, {}, "Files");
    dialog.findChild<QLineEdit*>("host")->setText(socketFolder());
    const std::size_t name = uri.find(":///") + 4;
    dialog.findChild<QLineEdit*>("database")
        ->setText(QString::fromStdString(uri.substr(name, uri.find('?') - name)));
    dialog.findChild<QLineEdit*>("user")->setText("katalox");
    const std::string built = dialog.uri().toStdString();
    EXPECT_EQ(tested(built), "There is no catalogue in " + built + " (katalox-cli init " + built +
                                 " sets one up)");

    store::initialiseCatalogue(uri);
    EXPECT_EQ(tested(built), "Connected: " + built + " holds the catalogue table \"Files\".");
    // The table checked is the one the table file name's stem names.
    const std::string other = tested(built, "Other");
    EXPECT_NE(other.find("There is no catalogue table \"Other\""), std::string::npos) << other;
    EXPECT_NE(other.find("katalox-cli init " + built), std::string::npos) << other;
}

TEST_F(ServerConnectionTest, SaysWhyTheServerCannotBeReached) {
    const std::string unreachable = tested("postgresql://katalox@/postgres?host=/nonexistent");
    EXPECT_EQ(unreachable.rfind(
                  "Cannot connect to postgresql://katalox@/postgres?host=/nonexistent: ", 0),
              0u)
        << unreachable;
    const std::string noDatabase =
        tested("postgresql://katalox@/no_such_db?host=" + socketFolder().toStdString());
    EXPECT_NE(noDatabase.find("database \"no_such_db\" does not exist"), std::string::npos)
        << noDatabase;
}

} // namespace
} // namespace katalox::test
