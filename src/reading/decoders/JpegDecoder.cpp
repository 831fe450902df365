// SPDX-License-Identifier: MIT
#include "JpegDecoder.h"

#include "ContainerMetadata.h"
#include "Upright.h"

#include <QFile>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <jpeglib.h>
// after jpeglib.h, which it needs
#include <jerror.h>
#include <vector>

namespace platform::decoders {

namespace {
// Measured (kelmo_bench --reader-margin): a turned progressive CMYK JPEG, 3.0 pictures (libjpeg
// holds every coefficient of a progressive picture).
constexpr double workingPictures = 3.5;

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

// The file's bytes a buffer at a time: a whole copy of a photograph's file would be megabytes
// of fresh memory, which a reader process pays for in page faults on every read. A file that
// ends early gets an end marker, so that what was read still shows.
class FileSource {
  public:
    void attach(jpeg_decompress_struct& cinfo, QFile& file) {
        file_ = &file;
        buffer_.resize(64 * 1024);
        base_.init_source = [](j_decompress_ptr) {};
        base_.fill_input_buffer = fill;
        base_.skip_input_data = skip;
        base_.resync_to_restart = jpeg_resync_to_restart;
        base_.term_source = [](j_decompress_ptr) {};
        base_.next_input_byte = nullptr;
        base_.bytes_in_buffer = 0;
        cinfo.src = &base_;
        cinfo.client_data = this;
    }

  private:
    static FileSource& of(j_decompress_ptr cinfo) {
        return *static_cast<FileSource*>(cinfo->client_data);
    }
    static boolean fill(j_decompress_ptr cinfo) {
        static const JOCTET endOfImage[2] = {0xFF, JPEG_EOI};
        FileSource& source = of(cinfo);
        const qint64 got = source.file_->read(reinterpret_cast<char*>(source.buffer_.data()),
                                              qint64(source.buffer_.size()));
        if (got <= 0) {
            WARNMS(cinfo, JWRN_JPEG_EOF);
            source.base_.next_input_byte = endOfImage;
            source.base_.bytes_in_buffer = sizeof(endOfImage);
        } else {
            source.base_.next_input_byte = source.buffer_.data();
            source.base_.bytes_in_buffer = std::size_t(got);
        }
        return TRUE;
    }
    static void skip(j_decompress_ptr cinfo, long count) {
        jpeg_source_mgr& base = of(cinfo).base_;
        while (count > long(base.bytes_in_buffer)) {
            count -= long(base.bytes_in_buffer);
            fill(cinfo);
        }
        if (count > 0) {
            base.next_input_byte += count;
            base.bytes_in_buffer -= std::size_t(count);
        }
    }

    jpeg_source_mgr base_{};
    QFile* file_ = nullptr;
    std::vector<JOCTET> buffer_;
};

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

    // Reads the header from the file; false on an error.
    bool readHeader(QFile& file) {
        if (setjmp(errors_.jump) != 0) {
            return false;
        }
        source_.attach(cinfo_, file);
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
    // Starts, reads up to `count` rows into `rows` (*got says how many), and finishes the
    // decompression; each false on an error.
    bool start() {
        if (setjmp(errors_.jump) != 0) {
            return false;
        }
        jpeg_start_decompress(&cinfo_);
        return true;
    }
    bool readRows(JSAMPROW* rows, int count, int* got) {
        *got = 0;
        if (setjmp(errors_.jump) != 0) {
            return false;
        }
        while (*got < count && cinfo_.output_scanline < cinfo_.output_height) {
            *got += int(jpeg_read_scanlines(&cinfo_, rows + *got, JDIMENSION(count - *got)));
        }
        return true;
    }
    bool finish() {
        if (setjmp(errors_.jump) != 0) {
            return false;
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
    FileSource source_;
    JOCTET* icc_ = nullptr;
    unsigned int iccLength_ = 0;
    Orientation orientation_ = Orientation::Upright;
};

// The picture is read a band at a time into two alternating buffers that stay in the cache;
// while one band is read, the one before it is written into place (turned upright where it must
// be) on another thread, which also takes the first touch of the picture's fresh memory.
QImage readInBands(Decompression& jpeg, QSize stored, Orientation orientation,
                   const DecodeContext& context) {
    // Untagged RGB rows are the finished pixels.
    const bool finished = jpeg.iccProfile().isEmpty() && jpeg.info().out_color_space != JCS_CMYK;
    UprightWriter writer(stored, orientation, QImage::Format_RGB32, context, finished);
    constexpr int bandRows = 64;
    QImage bands[2] = {QImage(stored.width(), bandRows, QImage::Format_RGB32),
                       QImage(stored.width(), bandRows, QImage::Format_RGB32)};
    if (writer.isNull() || bands[0].isNull() || bands[1].isNull()) {
        throw DecodeFailure(QStringLiteral("no hay memoria suficiente"));
    }
    std::future<void> turning;
    bool ok = true;
    for (int first = 0, band = 0; ok && first < stored.height(); first += bandRows, band ^= 1) {
        JSAMPROW rows[bandRows];
        for (int r = 0; r < bandRows; ++r) {
            rows[r] = bands[band].scanLine(r);
        }
        int got = 0;
        ok = jpeg.readRows(rows, std::min(bandRows, stored.height() - first), &got);
        if (turning.valid()) {
            turning.get(); // the other buffer is free again
        }
        const uchar* bits = bands[band].constBits();
        const qsizetype stride = bands[band].bytesPerLine();
        turning = std::async(std::launch::async, [&writer, bits, stride, first, got] {
            writer.writeRows(bits, stride, first, got);
        });
    }
    turning.get();
    if (!ok) {
        throw DecodeFailure(jpeg.reason());
    }
    return writer.take();
}

} // namespace

Decoded JpegDecoder::decode(QFile& file, const DecodeContext& context) const {
    Decompression jpeg;
    if (!jpeg.readHeader(file)) {
        throw DecodeFailure(jpeg.reason());
    }
    const jpeg_decompress_struct& info = jpeg.info();
    context.checkSize(info.output_width, info.output_height, workingPictures);
    if (!jpeg.start()) {
        throw DecodeFailure(jpeg.reason());
    }
    Decoded decoded;
    const QSize stored(int(info.output_width), int(info.output_height));
    decoded.image = readInBands(jpeg, stored, jpeg.orientation(), context);
    if (!jpeg.finish()) {
        throw DecodeFailure(jpeg.reason());
    }
    if (info.out_color_space == JCS_CMYK) {
        // Adobe's programs write CMYK JPEGs with every value inverted and mark them with their
        // APP14 segment; the other writers follow them.
        decoded.model = info.saw_Adobe_marker ? PixelModel::InvertedCmyk : PixelModel::Cmyk;
    }
    decoded.iccProfile = jpeg.iccProfile();
    return decoded;
}

} // namespace platform::decoders
