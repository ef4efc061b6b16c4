#pragma once
// The maker's web page and the web help page, opened in the default browser.
#include <QString>

namespace katalox {

QString makerName();
QString makerWebAddress();

// The help page that ships with the program, so help works offline: the page built into the
// program is written to the user's cache folder (or, failing that, a private temporary folder)
// and its file:// address returned. Throws FileError "Cannot create file ..." when it can be
// written nowhere.
QString webHelpAddress();

// Registers the picture and the help page built into the program. Safe to call more than once.
void initAboutResources();

} // namespace katalox
