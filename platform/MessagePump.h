#pragma once
// Lets waiting window messages be processed from inside long operations (folder walk, scan).
#include <functional>

namespace katalox::platform {

// Processes waiting events of the running application, if it has installed its event pump. Calls
// that come less than about 15 ms after the last processing return at once, so a tight loop is not
// slowed down.
void processMessages();

// Replaces what processMessages() does (tests count calls or run commands mid-walk);
// an empty function restores the default.
void setMessagePumpHook(std::function<void()> hook);

// What processes the application's waiting events; the Qt side installs it when its application
// object is made (platform/QtEventPump.cpp), so the core needs no Qt of its own.
void setApplicationEventPump(void (*pump)());

} // namespace katalox::platform
