#pragma once
// Settings of ours for scanning, kept in "scan-settings.ini" beside config.ini, one
// "name=value" line each, so config.ini stays as it is. Lines of settings this version does
// not know are kept as they were when the file is written again.
#include "store/archives/ArchiveListing.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace katalox::store {

struct ScanSettings {
    // Each file's sampled print is taken as it is inserted or updated.
    bool fingerprints = true;
    // Archives among the files are looked inside, for the formats named (by extension), and
    // compressed streams decompressed to list them up to the limit.
    bool archives = true;
    std::vector<std::string> archiveFormats = defaultArchiveFormats();
    std::uint64_t decompressLimitMiB = 1024;

    // How an insert or update looks inside archives; none when it does not.
    std::optional<ArchiveLimits> archiveLimits() const;

    // A missing or unreadable file gives the defaults; a line that cannot be read keeps its
    // setting's default.
    static ScanSettings readFrom(const std::string& appDir);
    // Throws FileError when the file cannot be written, and leaves it as it was.
    void writeTo(const std::string& appDir) const;
    static std::string path(const std::string& appDir);
};

} // namespace katalox::store
