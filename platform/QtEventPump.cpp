// Hands the core's message pump to Qt as soon as a Qt application object exists. Linked whole
// into every program that uses Qt (see CMakeLists.txt), since nothing refers to it by name.
#include "platform/MessagePump.h"

#include <QCoreApplication>

namespace {

void processQtEvents() {
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

void installQtEventPump() {
    katalox::platform::setApplicationEventPump(&processQtEvents);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installQtEventPump)
