#include "platform/MountWatcher.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

namespace katalox::platform {

MountWatcher::MountWatcher(const std::string& mountTable, QObject* parent)
    : QObject(parent), fd_(::open(mountTable.c_str(), O_RDONLY | O_CLOEXEC)) {
    if (!fd_.valid())
        return; // no table to watch: nothing is ever reported
    notifier_ = new QSocketNotifier(fd_.get(), QSocketNotifier::Exception, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        acknowledge();
        emit mountsChanged();
    });
}

// The mark stays until the table is read again from its start.
void MountWatcher::acknowledge() {
    char buffer[4096];
    ::lseek(fd_.get(), 0, SEEK_SET);
    while (::read(fd_.get(), buffer, sizeof buffer) > 0) {
    }
}

} // namespace katalox::platform
