#pragma once
// Folder listings kept from the folder walk for the file search that follows it. The walk reads
// every entry of every folder (files included) to find the subfolders; the search then asks for
// the same folders again. Reusing what the walk read halves the directory reading of a scan.
//
// A kept listing is only handed out while it is provably current: the folder still has the same
// device, inode, modification time and change time as when it was read, and its entries last
// changed well before the read began, so a change within the file system's timestamp
// granularity cannot hide behind an unchanged modification time.
#include <optional>
#include <string>
#include <sys/stat.h>
#include <time.h>

namespace katalox::platform::listings {

// Whether enumerations asking for folders keep the listings they read to the end.
bool recording();
// Turning recording on forgets every listing kept before.
void setRecording(bool on);

// Keeps the packed entries (type byte, name, NUL; repeated) of a folder read completely.
void keep(const std::string& folder, const struct stat& folderInfo, const timespec& readStarted,
          std::string&& entries);

// Takes the entries kept for a folder when it is unchanged since; each listing is used once.
std::optional<std::string> take(const std::string& folder);

} // namespace katalox::platform::listings
