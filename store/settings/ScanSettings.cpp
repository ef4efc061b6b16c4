#include "store/settings/ScanSettings.h"

#include "platform/Error.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace katalox::store {

namespace {

constexpr const char* kFingerprints = "fingerprints";
constexpr const char* kArchives = "archives";
constexpr const char* kArchiveFormats = "archive-formats";
constexpr const char* kDecompressLimit = "archive-decompress-limit-mib";
constexpr std::array kNames = {kFingerprints, kArchives, kArchiveFormats, kDecompressLimit};

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

std::string valueOf(const std::string& line) {
    const auto equals = line.find('=');
    return equals == std::string::npos ? std::string() : line.substr(equals + 1);
}

std::vector<std::string> listOf(const std::string& text) {
    std::vector<std::string> items;
    for (std::size_t at = 0; at <= text.size();) {
        std::size_t end = text.find(',', at);
        if (end == std::string::npos)
            end = text.size();
        if (end > at)
            items.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return items;
}

std::string joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items)
        text += (text.empty() ? "" : ",") + item;
    return text;
}

} // namespace

std::optional<ArchiveLimits> ScanSettings::archiveLimits() const {
    if (!archives)
        return std::nullopt;
    ArchiveLimits limits{archiveFormats};
    limits.decompressLimit = decompressLimitMiB << 20;
    return limits;
}

std::string ScanSettings::path(const std::string& appDir) {
    return platform::joinPath(appDir, "scan-settings.ini");
}

ScanSettings ScanSettings::readFrom(const std::string& appDir) {
    ScanSettings settings;
    for (const std::string& line : linesOf(path(appDir))) {
        const std::string name = nameOf(line);
        const std::string value = valueOf(line);
        if (name == kFingerprints) {
            settings.fingerprints = value != "off";
        } else if (name == kArchives) {
            settings.archives = value != "off";
        } else if (name == kArchiveFormats) {
            settings.archiveFormats = listOf(value);
        } else if (name == kDecompressLimit) {
            std::uint64_t mib = 0;
            const auto [end, error] =
                std::from_chars(value.data(), value.data() + value.size(), mib);
            if (error == std::errc() && end == value.data() + value.size() && mib < (1u << 24))
                settings.decompressLimitMiB = mib;
        }
    }
    return settings;
}

void ScanSettings::writeTo(const std::string& appDir) const {
    std::vector<std::string> lines;
    for (std::string& line : linesOf(path(appDir)))
        if (!line.empty() && std::find(kNames.begin(), kNames.end(), nameOf(line)) == kNames.end())
            lines.push_back(std::move(line));
    lines.push_back(std::string(kFingerprints) + "=" + (fingerprints ? "on" : "off"));
    lines.push_back(std::string(kArchives) + "=" + (archives ? "on" : "off"));
    lines.push_back(std::string(kArchiveFormats) + "=" + joined(archiveFormats));
    lines.push_back(std::string(kDecompressLimit) + "=" + std::to_string(decompressLimitMiB));
    platform::writeTextLines(path(appDir), lines);
}

} // namespace katalox::store
