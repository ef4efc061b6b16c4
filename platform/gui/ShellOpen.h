#pragma once
// Hands a web address to the default browser (the shell's "open" verb). The result is not
// looked at.
#include <QString>

#include <functional>

namespace katalox::platform {

void shellOpen(const QString& address);

// Replaces what shellOpen() does (tests record the address); empty restores the default.
void setShellOpenHook(std::function<void(const QString&)> hook);

} // namespace katalox::platform
