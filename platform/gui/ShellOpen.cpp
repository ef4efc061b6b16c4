#include "platform/gui/ShellOpen.h"

#include <QDesktopServices>
#include <QUrl>

namespace katalox::platform {

namespace {
std::function<void(const QString&)>& shellOpenHook() {
    static std::function<void(const QString&)> hook;
    return hook;
}
} // namespace

void shellOpen(const QString& address) {
    if (shellOpenHook()) {
        shellOpenHook()(address);
        return;
    }
    QDesktopServices::openUrl(QUrl(address)); // the result is not looked at
}

QString localFileAddress(const std::string& path) {
    return QStringLiteral("file://") +
           QString::fromLatin1(QByteArray::fromStdString(path).toPercentEncoding("/"));
}

void setShellOpenHook(std::function<void(const QString&)> hook) {
    shellOpenHook() = std::move(hook);
}

} // namespace katalox::platform
