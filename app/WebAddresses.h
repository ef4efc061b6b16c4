#pragma once
// The maker's web page and the web help page, opened in the default browser.
#include <QString>

namespace katalox {

QString makerName();
QString makerWebAddress();
// The help page that ships with the program (works offline).
QString webHelpAddress();

} // namespace katalox
