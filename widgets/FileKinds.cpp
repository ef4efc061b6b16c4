#include "widgets/FileKinds.h"

#include "platform/DisplayText.h"

#include <QCoreApplication>

#include <string>
#include <unordered_map>

namespace katalox::widgets {

namespace {

// No known extension is longer; a longer one is not worth folding and looking up.
constexpr std::size_t kLongestExtension = 8;

// "ts" is taken as an MPEG transport stream (Video): catalogued discs hold far more recordings
// than TypeScript sources, and ".tsx" still counts as code.
const std::unordered_map<std::string, FileKind>& extensionKinds() {
    static const std::unordered_map<std::string, FileKind> kinds = [] {
        std::unordered_map<std::string, FileKind> table;
        const auto add = [&table](FileKind kind, std::initializer_list<const char*> extensions) {
            for (const char* extension : extensions)
                table.emplace(extension, kind);
        };
        add(FileKind::Image, {"jpg", "jpeg", "png", "gif", "bmp", "tif", "tiff", "webp", "heic",
                              "raw", "cr2", "nef", "svg", "ico", "psd", "dng"});
        add(FileKind::Audio,
            {"mp3", "flac", "ogg", "wav", "m4a", "aac", "opus", "wma", "aiff", "mid", "ape"});
        add(FileKind::Video, {"mp4", "mkv", "avi", "mov", "wmv", "webm", "mpg", "mpeg", "m4v", "ts",
                              "vob", "flv", "3gp", "m2ts"});
        add(FileKind::Document, {"pdf", "doc", "docx", "odt", "txt", "rtf", "xls", "xlsx", "ods",
                                 "ppt", "pptx", "odp", "md", "epub", "csv", "djvu", "chm"});
        add(FileKind::Archive, {"zip", "7z", "rar", "tar", "gz", "tgz", "xz", "bz2", "zst", "iso",
                                "cab", "lz", "lzma", "txz", "tbz2", "img", "dmg"});
        add(FileKind::Program, {"exe", "dll", "so", "msi", "deb", "rpm", "appimage", "bin", "com",
                                "bat", "apk", "dylib"});
        add(FileKind::Code,
            {"c",  "cpp", "cc",  "cxx",  "h",    "hpp", "hh",   "py",    "js",  "tsx",  "java",
             "rs", "go",  "sh",  "html", "htm",  "css", "json", "xml",   "pas", "cs",   "rb",
             "pl", "php", "lua", "sql",  "yaml", "yml", "toml", "cmake", "kt",  "swift"});
        return table;
    }();
    return kinds;
}

// The bytes after the last dot, empty when the name has no extension.
std::string_view extensionOf(std::string_view fileName) {
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos || dot == 0)
        return {};
    return fileName.substr(dot + 1);
}

} // namespace

FileKind fileKindOf(std::string_view fileName) {
    const std::string_view extension = extensionOf(fileName);
    if (extension.empty() || extension.size() > kLongestExtension)
        return FileKind::Other;
    std::string folded(extension);
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    const auto& kinds = extensionKinds();
    const auto found = kinds.find(folded);
    return found == kinds.end() ? FileKind::Other : found->second;
}

QString fileKindName(FileKind kind) {
    switch (kind) {
    case FileKind::Folder:
        return QCoreApplication::translate("FileKinds", "Folder");
    case FileKind::Image:
        return QCoreApplication::translate("FileKinds", "Image");
    case FileKind::Audio:
        return QCoreApplication::translate("FileKinds", "Audio");
    case FileKind::Video:
        return QCoreApplication::translate("FileKinds", "Video");
    case FileKind::Document:
        return QCoreApplication::translate("FileKinds", "Document");
    case FileKind::Archive:
        return QCoreApplication::translate("FileKinds", "Archive");
    case FileKind::Program:
        return QCoreApplication::translate("FileKinds", "Program");
    case FileKind::Code:
        return QCoreApplication::translate("FileKinds", "Source code");
    case FileKind::Other:
        break;
    }
    return QCoreApplication::translate("FileKinds", "File");
}

QString fileKindText(std::string_view fileName) {
    const FileKind kind = fileKindOf(fileName);
    const std::string_view extension = extensionOf(fileName);
    if (kind != FileKind::Other || extension.empty())
        return fileKindName(kind);
    return QCoreApplication::translate("FileKinds", "%1 file")
        .arg(platform::displayText(extension).toUpper());
}

QColor fileKindColour(FileKind kind) {
    switch (kind) {
    case FileKind::Folder:
        return QColor(0x8f, 0xa3, 0xb8); // grey-blue
    case FileKind::Image:
        return QColor(0xf0, 0xb4, 0x5a); // amber
    case FileKind::Audio:
        return QColor(0xc0, 0x9b, 0xd8); // lavender
    case FileKind::Video:
        return QColor(0xeb, 0x8a, 0x7e); // coral
    case FileKind::Document:
        return QColor(0x84, 0xbc, 0xe8); // sky blue
    case FileKind::Archive:
        return QColor(0xd2, 0xb4, 0x8c); // tan
    case FileKind::Program:
        return QColor(0xe6, 0x8f, 0xb4); // rose
    case FileKind::Code:
        return QColor(0x8e, 0xcf, 0x98); // sage green
    case FileKind::Other:
        break;
    }
    return QColor(0xc4, 0xc7, 0xcc); // light grey
}

} // namespace katalox::widgets
