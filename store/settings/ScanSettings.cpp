#include "store/settings/ScanSettings.h"

#include "platform/Error.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"

namespace katalox::store {

namespace {

constexpr const char* kFingerprints = "fingerprints";

std::vector<std::string> linesOf(const std::string& path) {
    try {
        return platform::readTextLines(path);
    } catch (const Error&) {
        return {};
    }
}

std::string nameOf(const std::string& line) {
    return line.substr(0, line.find('='));
}

} // namespace

std::string ScanSettings::path(const std::string& appDir) {
    return platform::joinPath(appDir, "scan-settings.ini");
}

ScanSettings ScanSettings::readFrom(const std::string& appDir) {
    ScanSettings settings;
    for (const std::string& line : linesOf(path(appDir)))
        if (nameOf(line) == kFingerprints)
            settings.fingerprints = line.substr(line.find('=') + 1) != "off";
    return settings;
}

void ScanSettings::writeTo(const std::string& appDir) const {
    std::vector<std::string> lines;
    for (std::string& line : linesOf(path(appDir)))
        if (nameOf(line) != kFingerprints && !line.empty())
            lines.push_back(std::move(line));
    lines.push_back(std::string(kFingerprints) + "=" + (fingerprints ? "on" : "off"));
    platform::writeTextLines(path(appDir), lines);
}

} // namespace katalox::store
