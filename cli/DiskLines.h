#pragma once
// A Disk ID as disks prints it, from any catalogue: a line of fields separated by tabs, or one
// object of a JSON array.
#include "platform/Volume.h"

#include <cstdint>
#include <string>

namespace katalox::cli {

struct DiskLine {
    std::string diskId;
    platform::VolumeFacts volume;
    std::int64_t files = 0;
    std::int64_t bytes = 0;
    std::string scannedAt; // empty when not recorded
    std::string mountedAt; // empty when not connected
};

// Appends `disk` to `text`; `first` tells the first object of the array from the others.
void appendDiskLine(std::string& text, const DiskLine& disk, bool json, bool first);

} // namespace katalox::cli
