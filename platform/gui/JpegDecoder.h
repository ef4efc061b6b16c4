#pragma once
// Decodes a JPEG picture held in memory with libjpeg.
#include <QByteArray>
#include <QImage>

namespace katalox::platform {

// Largest width or height accepted, so a damaged header cannot ask for gigabytes of pixels.
inline constexpr int kMaxJpegSide = 8192;

// Decodes a baseline or progressive JPEG (grey or colour) into an RGB image of its own size.
// Throws katalox::Error "Cannot decode the picture: <reason>" for anything that is not a
// complete, undamaged JPEG, including data that libjpeg would only warn about (a truncated
// file, corrupt entropy data), so a damaged picture is never shown half grey.
QImage decodeJpeg(const QByteArray& data);

} // namespace katalox::platform
