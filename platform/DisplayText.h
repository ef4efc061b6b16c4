#pragma once
// Paths and names are byte strings; windows show them as text. Bytes that are not valid UTF-8
// show as replacement characters, so a value must be kept as bytes wherever it has to reach
// the file system or the catalogue again.
#include <QObject>
#include <QString>
#include <QVariant>

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

// A control shows a value as text while the exact bytes ride along in a property of the
// control: a folder name need not be valid UTF-8 and must reach the file system unchanged.
inline constexpr const char* kBytesProperty = "katalox.bytes";

inline void keepBytes(QObject* control, const std::string& bytes) {
    control->setProperty(kBytesProperty, QByteArray::fromStdString(bytes));
}

// The bytes kept with a control; without any, its text as UTF-8.
inline std::string keptBytes(const QObject* control, const QString& shownText) {
    const QVariant bytes = control->property(kBytesProperty);
    return bytes.isValid() ? bytes.toByteArray().toStdString() : bytesOf(shownText);
}

} // namespace katalox::platform
