#include "platform/MountTable.h"

#include <fstream>
#include <sstream>
#include <sys/sysmacros.h>

namespace katalox::platform {

namespace {

bool isOctalDigit(char c) {
    return c >= '0' && c <= '7';
}

// The table escapes space, tab, newline and backslash as a backslash and three octal digits.
std::string unescaped(const std::string& field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && isOctalDigit(field[i + 1]) &&
            isOctalDigit(field[i + 2]) && isOctalDigit(field[i + 3])) {
            out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                     (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

// "major:minor" as a device number; false when the field is not one.
bool readDevice(const std::string& field, std::uint64_t& device) {
    unsigned major = 0;
    unsigned minor = 0;
    char colon = 0;
    std::istringstream in(field);
    if (!(in >> major >> colon >> minor) || colon != ':')
        return false;
    device = ::makedev(major, minor);
    return true;
}

} // namespace

std::vector<MountedFileSystem> parseMountTable(std::string_view text) {
    std::vector<MountedFileSystem> mounts;
    std::istringstream lines{std::string(text)};
    for (std::string line; std::getline(lines, line);) {
        // id parent major:minor root mount-point options [optional fields] - type source ...
        const auto separator = line.find(" - ");
        if (separator == std::string::npos)
            continue;
        std::istringstream head(line.substr(0, separator));
        std::istringstream tail(line.substr(separator + 3));
        std::string id, parent, device, root, mountPoint;
        MountedFileSystem mount;
        if (!(head >> id >> parent >> device >> root >> mountPoint) ||
            !readDevice(device, mount.device) || !(tail >> mount.type))
            continue;
        tail >> mount.source;
        mount.mountPoint = unescaped(mountPoint);
        mount.source = unescaped(mount.source);
        mounts.push_back(std::move(mount));
    }
    return mounts;
}

std::vector<MountedFileSystem> readMountTable() {
    return readMountTable("/proc/self/mountinfo");
}

std::vector<MountedFileSystem> readMountTable(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return parseMountTable(text.str());
}

} // namespace katalox::platform
