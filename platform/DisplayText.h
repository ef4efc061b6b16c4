#pragma once
// Paths and names are byte strings; windows show them as text. Bytes that are not valid UTF-8
// show as replacement characters, so a value must be kept as bytes wherever it has to reach
// the file system or the catalogue again.
#include <QString>

#include <string>
#include <string_view>

namespace katalox::platform {

// UTF-8 bytes as text for display.
inline QString displayText(std::string_view bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// Text typed or shown in a window as UTF-8 bytes.
inline std::string bytesOf(const QString& text) {
    return text.toUtf8().toStdString();
}

} // namespace katalox::platform
