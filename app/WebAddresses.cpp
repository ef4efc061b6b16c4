#include "app/WebAddresses.h"

namespace katalox {

QString makerName() {
    return QStringLiteral("Katalox Team");
}
QString makerWebAddress() {
    return QStringLiteral("https://katalox.example.org");
}
QString webHelpAddress() {
    return makerWebAddress();
}

} // namespace katalox
