#include "JpegDecoder.h"

#include "ExifOrientation.h"

#include <QFile>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>

namespace platform::decoders {

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void leave(j_common_ptr cinfo) {
    auto* errors = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, errors->message);
    std::longjmp(errors->jump, 1);
}

void ignoreMessage(j_common_ptr, int) {}

// One decompression. libjpeg reports errors with a long jump back into read(), so everything
// that owns memory lives here, outside the frame that is jumped over, and read() makes no C++
// object of its own after setjmp.
class Decompression {
  public:
    Decompression() {
        cinfo_.err = jpeg_std_error(&errors_.base);
        errors_.base.error_exit = leave;
        errors_.base.emit_message = ignoreMessage; // a damaged tail still shows what was read
        errors_.message[0] = '\0';
        jpeg_create_decompress(&cinfo_);
    }
    ~Decompression() {
        std::free(icc_);
        jpeg_destroy_decompress(&cinfo_);
    }
    Decompression(const Decompression&) = delete;
    Decompression& operator=(const Decompression&) = delete;

    // Reads the header; false on an error.
    bool readHeader(const QByteArray& bytes) {
        if (setjmp(errors_.jump) != 0) {
            return false;
        }
        jpeg_mem_src(&cinfo_, reinterpret_cast<const unsigned char*>(bytes.constData()),
                     static_cast<unsigned long>(bytes.size()));
        jpeg_save_markers(&cinfo_, JPEG_APP0 + 1, 0xffff);
        jpeg_save_markers(&cinfo_, JPEG_APP0 + 2, 0xffff);
        jpeg_read_header(&cinfo_, TRUE);
        const bool cmyk =
            cinfo_.jpeg_color_space == JCS_CMYK || cinfo_.jpeg_color_space == JCS_YCCK;
        cinfo_.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRX;
        jpeg_calc_output_dimensions(&cinfo_);
        jpeg_read_icc_profile(&cinfo_, &icc_, &iccLength_);
        orientation_ = savedOrientation(); // the saved segments go with the decompression
        return true;
    }
    // Reads the pixels into rows of 4 bytes a pixel; false on an error.
    bool readPixels(uchar* first, qsizetype bytesPerLine) {
        if (setjmp(errors_.jump) != 0) {
            return false;
        }
        jpeg_start_decompress(&cinfo_);
        while (cinfo_.output_scanline < cinfo_.output_height) {
            JSAMPROW row = first + qsizetype(cinfo_.output_scanline) * bytesPerLine;
            jpeg_read_scanlines(&cinfo_, &row, 1);
        }
        jpeg_finish_decompress(&cinfo_);
        return true;
    }

    const jpeg_decompress_struct& info() const { return cinfo_; }
    QString reason() const { return QString::fromLocal8Bit(errors_.message); }
    QByteArray iccProfile() const {
        return icc_ ? QByteArray(reinterpret_cast<const char*>(icc_), qsizetype(iccLength_))
                    : QByteArray();
    }
    Orientation orientation() const { return orientation_; }

  private:
    Orientation savedOrientation() const {
        for (jpeg_saved_marker_ptr m = cinfo_.marker_list; m != nullptr; m = m->next) {
            const QByteArrayView data(reinterpret_cast<const char*>(m->data), m->data_length);
            if (m->marker == JPEG_APP0 + 1 && data.startsWith(QByteArrayView("Exif\0\0", 6))) {
                return exifOrientation(data);
            }
        }
        return Orientation::Upright;
    }

    jpeg_decompress_struct cinfo_{};
    ErrorManager errors_{};
    JOCTET* icc_ = nullptr;
    unsigned int iccLength_ = 0;
    Orientation orientation_ = Orientation::Upright;
};

} // namespace

Decoded JpegDecoder::decode(QFile& file, const DecodeContext& context) const {
    const QByteArray bytes = file.readAll();
    Decompression jpeg;
    if (!jpeg.readHeader(bytes)) {
        throw DecodeFailure(jpeg.reason());
    }
    const jpeg_decompress_struct& info = jpeg.info();
    context.checkSize(info.output_width, info.output_height);
    Decoded decoded;
    decoded.image = QImage(int(info.output_width), int(info.output_height), QImage::Format_RGB32);
    if (decoded.image.isNull()) {
        throw DecodeFailure(QStringLiteral("no hay memoria suficiente"));
    }
    if (!jpeg.readPixels(decoded.image.bits(), decoded.image.bytesPerLine())) {
        throw DecodeFailure(jpeg.reason());
    }
    if (info.out_color_space == JCS_CMYK) {
        // Adobe's programs write CMYK JPEGs with every value inverted and mark them with their
        // APP14 segment; the other writers follow them.
        decoded.model = info.saw_Adobe_marker ? PixelModel::InvertedCmyk : PixelModel::Cmyk;
    }
    decoded.iccProfile = jpeg.iccProfile();
    decoded.orientation = jpeg.orientation();
    return decoded;
}

} // namespace platform::decoders
