#pragma once
// Lets waiting window messages be processed from inside long operations (folder walk, scan).
#include <functional>

namespace katalox::platform {

// Processes waiting events of the running Qt application, if any. Calls that come less than
// about 15 ms after the last processing return at once, so a tight loop is not slowed down.
void processMessages();

// Replaces what processMessages() does (tests count calls or run commands mid-walk);
// an empty function restores the default.
void setMessagePumpHook(std::function<void()> hook);

} // namespace katalox::platform
