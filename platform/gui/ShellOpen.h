#pragma once
// Hands a web address to the default browser (the shell's "open" verb). The result is not
// looked at.
#include <QString>

#include <functional>
#include <string>

namespace katalox::platform {

void shellOpen(const QString& address);

// The file:// address of a local path, its bytes percent-encoded so that any name, valid UTF-8
// or not, reaches the file system unchanged.
QString localFileAddress(const std::string& path);

// Replaces what shellOpen() does (tests record the address); empty restores the default.
void setShellOpenHook(std::function<void(const QString&)> hook);

} // namespace katalox::platform
