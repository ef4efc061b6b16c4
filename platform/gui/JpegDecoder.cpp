#include "platform/gui/JpegDecoder.h"

#include "platform/Error.h"

#include <csetjmp>
#include <cstdio>
#include <string>

#include <jpeglib.h>

namespace katalox::platform {
namespace {

// libjpeg reports a fatal error by calling error_exit, which must not return; we jump back
// to the decoding function instead of letting libjpeg end the process.
struct ErrorManager {
    jpeg_error_mgr base; // first member: libjpeg hands us a pointer to it
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    bool damaged;
};

ErrorManager& manager(j_common_ptr info) {
    return *reinterpret_cast<ErrorManager*>(info->err);
}

[[noreturn]] void errorExit(j_common_ptr info) {
    info->err->format_message(info, manager(info).message);
    std::longjmp(manager(info).jump, 1);
}

// Warnings (level -1) mean damaged data that libjpeg would paper over with grey; keep the
// first one as the reason. Trace messages (level >= 0) are ignored and nothing is printed.
void emitMessage(j_common_ptr info, int level) {
    ErrorManager& errors = manager(info);
    if (level < 0 && !errors.damaged) {
        info->err->format_message(info, errors.message);
        errors.damaged = true;
    }
}

void outputMessage(j_common_ptr) {}

// The libjpeg calls proper. Only trivially destructible objects may live in this frame's
// scope across the calls, since an error longjmps back here from inside libjpeg.
bool decodeInto(const QByteArray& data, QImage& image, ErrorManager& errors) {
    jpeg_decompress_struct info{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = errorExit;
    errors.base.emit_message = emitMessage;
    errors.base.output_message = outputMessage;
    errors.damaged = false;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(data.constData()),
                 static_cast<unsigned long>(data.size()));
    jpeg_read_header(&info, TRUE);
    if (info.image_width > kMaxJpegSide || info.image_height > kMaxJpegSide) {
        std::snprintf(errors.message, sizeof errors.message, "the picture is too large (%u x %u)",
                      info.image_width, info.image_height);
        jpeg_destroy_decompress(&info);
        return false;
    }
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    image = QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height),
                   QImage::Format_RGB888);
    if (image.isNull()) {
        std::snprintf(errors.message, sizeof errors.message, "out of memory");
        jpeg_destroy_decompress(&info);
        return false;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image.scanLine(static_cast<int>(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return !errors.damaged;
}

} // namespace

QImage decodeJpeg(const QByteArray& data) {
    ErrorManager errors{};
    QImage image;
    if (!decodeInto(data, image, errors))
        throw Error(std::string("Cannot decode the picture: ") + errors.message);
    return image;
}

} // namespace katalox::platform
