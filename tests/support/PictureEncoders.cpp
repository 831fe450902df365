// SPDX-License-Identifier: MIT
#include "PictureEncoders.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageWriter>
#include <QtEndian>
#include <cstdio>
#include <jpeglib.h>
#include <jxl/encode.h>
#include <lcms2.h>
#include <libheif/heif.h>
#include <stdexcept>
#include <webp/encode.h>

namespace testing_support {

namespace {

void require(bool ok, const char* what) {
    if (!ok) {
        throw std::runtime_error(what);
    }
}

QByteArray segment(uchar marker, const QByteArray& payload) {
    QByteArray s("\xff");
    s += char(marker);
    s += char((payload.size() + 2) >> 8);
    s += char((payload.size() + 2) & 0xff);
    return s + payload;
}

QByteArray littleEndian(quint32 value, int bytes) {
    QByteArray out;
    for (int i = 0; i < bytes; ++i) {
        out += char((value >> (8 * i)) & 0xff);
    }
    return out;
}

quint32 crc32(const QByteArray& bytes) {
    quint32 crc = 0xffffffffu;
    for (const char c : bytes) {
        crc ^= quint8(c);
        for (int k = 0; k < 8; ++k) {
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

} // namespace

QByteArray pngWithChunk(const QImage& image, const char type[4], const QByteArray& data) {
    const QByteArray png = encoded(image, "png");
    const QByteArray body = QByteArray(type, 4) + data;
    QByteArray length(4, '\0');
    qToBigEndian(quint32(data.size()), length.data());
    QByteArray crc(4, '\0');
    qToBigEndian(crc32(body), crc.data());
    constexpr int afterHeader = 8 + 25; // signature and IHDR
    return png.left(afterHeader) + length + body + crc + png.mid(afterHeader);
}

QByteArray pngWithExif(const QImage& image, int orientation) {
    return pngWithChunk(image, "eXIf", exifBlock(orientation));
}

QByteArray webpWithExif(const QImage& image, int orientation) {
    const QByteArray webp = encoded(image, "webp");
    const QByteArray exif = exifBlock(orientation);
    QByteArray chunks = "VP8X" + littleEndian(10, 4) + littleEndian(0x08, 4) +
                        littleEndian(quint32(image.width() - 1), 3) +
                        littleEndian(quint32(image.height() - 1), 3);
    chunks += webp.mid(12) + "EXIF" + littleEndian(quint32(exif.size()), 4) + exif;
    return "RIFF" + littleEndian(quint32(chunks.size() + 4), 4) + "WEBP" + chunks;
}

QByteArray webpAnimation(const QImage& first, int x, int y, int canvasWidth, int canvasHeight) {
    const QByteArray still = encoded(first, "webp", 100); // lossless: a VP8L chunk
    QByteArray chunks = "VP8X" + littleEndian(10, 4) + littleEndian(0x12, 4) + // animation, alpha
                        littleEndian(quint32(canvasWidth - 1), 3) +
                        littleEndian(quint32(canvasHeight - 1), 3);
    chunks += "ANIM" + littleEndian(6, 4) + littleEndian(0, 4) + littleEndian(0, 2);
    for (int frame = 0; frame < 2; ++frame) { // the second frame covers the first
        const QByteArray data = littleEndian(quint32(x / 2), 3) + littleEndian(quint32(y / 2), 3) +
                                littleEndian(quint32(first.width() - 1), 3) +
                                littleEndian(quint32(first.height() - 1), 3) +
                                littleEndian(100, 3) + QByteArray(1, '\0') + still.mid(12);
        chunks += "ANMF" + littleEndian(quint32(data.size()), 4) + data;
        x = y = 0;
    }
    return "RIFF" + littleEndian(quint32(chunks.size() + 4), 4) + "WEBP" + chunks;
}

QByteArray exifBlock(int orientation) {
    QByteArray tiff("MM\0\x2a\0\0\0\x08\0\x01", 10);   // big-endian, directory at 8, one entry
    tiff += QByteArray("\x01\x12\0\x03\0\0\0\x01", 8); // Orientation, SHORT, count 1
    tiff += char(0);
    tiff += char(orientation);
    tiff += QByteArray(2, '\0');
    tiff += QByteArray(4, '\0'); // no next directory
    return tiff;
}

QByteArray jpegWith(const QImage& image, int orientation, const QByteArray& iccProfile) {
    const QByteArray plain = encoded(image, "jpeg");
    QByteArray extra;
    if (orientation != 0) {
        extra += segment(0xe1, QByteArray("Exif\0\0", 6) + exifBlock(orientation));
    }
    if (!iccProfile.isEmpty()) {
        extra += segment(0xe2, QByteArray("ICC_PROFILE\0\x01\x01", 14) + iccProfile);
    }
    return plain.left(2) + extra + plain.mid(2);
}

QByteArray cmykJpeg(int width, int height, const uchar cmyk[4], bool adobe, bool progressive) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, JCS_CMYK);
    jpeg_set_quality(&cinfo, 100, TRUE);
    cinfo.write_Adobe_marker = adobe ? TRUE : FALSE;
    if (progressive) {
        jpeg_simple_progression(&cinfo);
    }
    jpeg_start_compress(&cinfo, TRUE);
    QByteArray row;
    for (int x = 0; x < width; ++x) {
        for (int c = 0; c < 4; ++c) {
            row += char(adobe ? 255 - cmyk[c] : cmyk[c]);
        }
    }
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW r = reinterpret_cast<JSAMPROW>(row.data());
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    const QByteArray bytes(reinterpret_cast<const char*>(out), qsizetype(size));
    std::free(out);
    return bytes;
}

QByteArray rgbProfile(const double primaries[6]) {
    const cmsCIExyY white{0.3127, 0.3290, 1};
    const cmsCIExyYTRIPLE xy{{primaries[0], primaries[1], 1},
                             {primaries[2], primaries[3], 1},
                             {primaries[4], primaries[5], 1}};
    const double srgb[5] = {2.4, 1.0 / 1.055, 0.055 / 1.055, 1.0 / 12.92, 0.04045};
    cmsToneCurve* curve = cmsBuildParametricToneCurve(nullptr, 4, srgb);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &xy, curves);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    QByteArray icc(qsizetype(size), '\0');
    cmsSaveProfileToMem(profile, icc.data(), &size);
    cmsCloseProfile(profile);
    cmsFreeToneCurve(curve);
    return icc;
}

QByteArray swappedRedGreenProfile() {
    const double swapped[6] = {0.300, 0.600, 0.640, 0.330, 0.150, 0.060};
    return rgbProfile(swapped);
}

QByteArray displayP3Profile() {
    const double p3[6] = {0.680, 0.320, 0.265, 0.690, 0.150, 0.060};
    return rgbProfile(p3);
}

namespace {

// A WebP file as Qt's writer makes it (quality 100 lossless, else lossy; a colour profile in an
// ICCP chunk), made by libwebp itself: not every Qt has a WebP plug-in.
QByteArray encodedWebp(const QImage& image, int quality) {
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    uint8_t* output = nullptr;
    const std::size_t size =
        quality >= 100 ? WebPEncodeLosslessRGBA(rgba.constBits(), rgba.width(), rgba.height(),
                                                int(rgba.bytesPerLine()), &output)
                       : WebPEncodeRGBA(rgba.constBits(), rgba.width(), rgba.height(),
                                        int(rgba.bytesPerLine()), float(quality), &output);
    require(size > 0, "webp");
    const QByteArray simple(reinterpret_cast<const char*>(output), qsizetype(size));
    WebPFree(output);
    const QByteArray icc = image.colorSpace().isValid() ? image.colorSpace().iccProfile() : "";
    if (icc.isEmpty()) {
        return simple;
    }
    QByteArray body = simple.mid(12); // the chunks after "RIFF", its size and "WEBP"
    quint32 flags = 0x20;             // a colour profile
    if (body.startsWith("VP8X")) {    // lossy with alpha: its own header, with the alpha flag
        flags |= qFromLittleEndian<quint32>(body.constData() + 8);
        body = body.mid(18);
    }
    QByteArray chunks = "VP8X" + littleEndian(10, 4) + littleEndian(flags, 4) +
                        littleEndian(quint32(image.width() - 1), 3) +
                        littleEndian(quint32(image.height() - 1), 3);
    chunks += "ICCP" + littleEndian(quint32(icc.size()), 4) + icc;
    if (icc.size() % 2 != 0) {
        chunks += '\0';
    }
    chunks += body;
    return "RIFF" + littleEndian(quint32(chunks.size() + 4), 4) + "WEBP" + chunks;
}

} // namespace

QByteArray encoded(const QImage& image, const char* format, int quality) {
    if (qstrcmp(format, "webp") == 0) {
        return encodedWebp(image, quality);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    require(writer.write(image), format);
    return bytes;
}

QByteArray encodeHeic(const QImage& source) {
    const QImage rgb = source.convertToFormat(QImage::Format_RGB888);
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    const bool found =
        heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder).code ==
        heif_error_Ok;
    if (!found && !libavifBuilt()) { // a build without encoders
        heif_context_free(context);
        return {};
    }
    require(found, "heic encoder");
    heif_encoder_set_lossy_quality(encoder, 95);
    heif_image* image = nullptr;
    heif_image_create(rgb.width(), rgb.height(), heif_colorspace_RGB, heif_chroma_interleaved_RGB,
                      &image);
    heif_image_add_plane(image, heif_channel_interleaved, rgb.width(), rgb.height(), 8);
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    for (int y = 0; y < rgb.height(); ++y) {
        std::memcpy(plane + y * stride, rgb.constScanLine(y), size_t(rgb.width() * 3));
    }
    require(heif_context_encode_image(context, image, encoder, nullptr, nullptr).code ==
                heif_error_Ok,
            "heic encode");
    QByteArray bytes;
    heif_writer writer{1, [](heif_context*, const void* data, size_t size, void* out) {
                           static_cast<QByteArray*>(out)->append(static_cast<const char*>(data),
                                                                 qsizetype(size));
                           return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
                       }};
    heif_context_write(context, &writer, &bytes);
    heif_image_release(image);
    heif_encoder_release(encoder);
    heif_context_free(context);
    return bytes;
}

QByteArray encodeJxl(const QImage& source, int orientation, int effort) {
    const QImage rgba = source.convertToFormat(QImage::Format_RGBA8888);
    JxlEncoder* encoder = JxlEncoderCreate(nullptr);
    JxlBasicInfo info;
    JxlEncoderInitBasicInfo(&info);
    info.xsize = uint32_t(rgba.width());
    info.ysize = uint32_t(rgba.height());
    info.bits_per_sample = 8;
    info.num_extra_channels = 1;
    info.alpha_bits = 8;
    info.uses_original_profile = JXL_TRUE;
    info.orientation = JxlOrientation(orientation);
    require(JxlEncoderSetBasicInfo(encoder, &info) == JXL_ENC_SUCCESS, "jxl info");
    JxlColorEncoding colour;
    JxlColorEncodingSetToSRGB(&colour, JXL_FALSE);
    JxlEncoderSetColorEncoding(encoder, &colour);
    JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(encoder, nullptr);
    JxlEncoderSetFrameLossless(settings, JXL_TRUE);
    JxlEncoderFrameSettingsSetOption(settings, JXL_ENC_FRAME_SETTING_EFFORT, effort);
    const JxlPixelFormat format{4, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    require(JxlEncoderAddImageFrame(settings, &format, rgba.constBits(),
                                    size_t(rgba.sizeInBytes())) == JXL_ENC_SUCCESS,
            "jxl frame");
    JxlEncoderCloseInput(encoder);
    QByteArray bytes(4096, '\0');
    uint8_t* next = reinterpret_cast<uint8_t*>(bytes.data());
    size_t avail = size_t(bytes.size());
    JxlEncoderStatus status;
    while ((status = JxlEncoderProcessOutput(encoder, &next, &avail)) == JXL_ENC_NEED_MORE_OUTPUT) {
        const qsizetype used = next - reinterpret_cast<uint8_t*>(bytes.data());
        bytes.resize(bytes.size() * 2);
        next = reinterpret_cast<uint8_t*>(bytes.data()) + used;
        avail = size_t(bytes.size() - used);
    }
    require(status == JXL_ENC_SUCCESS, "jxl encode");
    bytes.resize(next - reinterpret_cast<uint8_t*>(bytes.data()));
    JxlEncoderDestroy(encoder);
    return bytes;
}

} // namespace testing_support
