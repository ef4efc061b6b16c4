#pragma once
// Bytes as a window shows them: "1.5 MB", in the user's locale.
#include <QLocale>
#include <QString>

#include <algorithm>
#include <cmath>

namespace katalox::widgets {

inline QString sizeText(double bytes) {
    const double clamped = std::min(std::max(bytes, 0.0), 9.0e18);
    return QLocale().formattedDataSize(static_cast<qint64>(std::llround(clamped)), 1,
                                       QLocale::DataSizeTraditionalFormat);
}

} // namespace katalox::widgets
