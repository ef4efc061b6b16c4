#pragma once
// Settings of ours for scanning, kept in "scan-settings.ini" beside config.ini, one
// "name=value" line each, so config.ini stays as it is. Lines of settings this version does
// not know are kept as they were when the file is written again.
#include <string>
#include <vector>

namespace katalox::store {

struct ScanSettings {
    // Each file's sampled print is taken as it is inserted or updated.
    bool fingerprints = true;

    // A missing or unreadable file gives the defaults.
    static ScanSettings readFrom(const std::string& appDir);
    // Throws FileError when the file cannot be written, and leaves it as it was.
    void writeTo(const std::string& appDir) const;
    static std::string path(const std::string& appDir);
};

} // namespace katalox::store
