#pragma once
// Tells when a file system is mounted or unmounted while the program runs: the kernel marks
// the mount table readable with priority (POLLPRI) at every change.
#include "platform/UniqueFd.h"

#include <QObject>

class QSocketNotifier;

namespace katalox::platform {

class MountWatcher : public QObject {
    Q_OBJECT
public:
    explicit MountWatcher(const std::string& mountTable = "/proc/self/mountinfo",
                          QObject* parent = nullptr);

signals:
    void mountsChanged();

private:
    void acknowledge();

    UniqueFd fd_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace katalox::platform
