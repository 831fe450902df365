// SPDX-License-Identifier: MIT
#pragma once

// One picture format's reader. The loader picks the reader by the file's content alone; each
// reader turns the file into pixels and says how they are to be turned and what colours they are
// in. Turning them upright and into sRGB is one step after whichever reader ran (PictureFinish).

#include <QByteArray>
#include <QImage>
#include <QString>
#include <initializer_list>
#include <memory>
#include <stdexcept>

class QFile;

namespace platform {

namespace decoders {

// How the stored pixels must be turned to be seen upright: the values of the EXIF Orientation
// tag, 1 (as stored) to 8.
enum class Orientation : int {
    Upright = 1,
    MirrorHorizontal = 2,
    Rotate180 = 3,
    MirrorVertical = 4,
    Transpose = 5,
    Rotate90 = 6, // clockwise
    Transverse = 7,
    Rotate270 = 8,
};

// What the numbers in the pixels mean.
enum class PixelModel {
    Rgb,          // the QImage's own format
    Cmyk,         // four bytes a pixel, C, M, Y, K in the order of a Format_RGB32 pixel's bytes
    InvertedCmyk, // the same, stored as 255 minus each value (Adobe's CMYK JPEGs)
};

// A colour encoding given by code points (ITU-T H.273) instead of a profile.
struct CodePoints {
    int primaries = 2; // 2: unspecified
    int transfer = 2;
};

struct Decoded {
    QImage image; // Format_RGB32, or Format_ARGB32 (premultiplied or not) when it has alpha
    Orientation orientation = Orientation::Upright;
    PixelModel model = PixelModel::Rgb;
    QByteArray iccProfile; // empty: no profile
    CodePoints codePoints; // used when there is no profile
};

// Why a file could not be read, in a short Spanish phrase ("el archivo termina antes de tiempo").
class DecodeFailure : public std::runtime_error {
  public:
    explicit DecodeFailure(QString reason)
        : std::runtime_error(reason.toStdString()), reason_(std::move(reason)) {}
    const QString& reason() const { return reason_; }

  private:
    QString reason_;
};

// Where a reader makes the buffer of the picture it returns: the reader process makes it in memory
// it can hand to the viewer as it is, so the finished pixels are never copied.
class PixelMemory {
  public:
    virtual ~PixelMemory() = default;
    // A picture of that size and format, or a null one when the memory cannot be had.
    virtual QImage make(int width, int height, QImage::Format format) const = 0;
    // The same for a reader that will put all of its rows with putRows(); where takesRows() then
    // says so, the picture's own memory is read-only until it is handed over.
    virtual QImage makeForRows(int width, int height, QImage::Format format) const {
        return make(width, height, format);
    }
    virtual bool takesRows(const QImage&) const { return false; }
    // Puts `bytes` of finished rows at `offset` of the picture's buffer, where takesRows(picture).
    // Safe from two threads at once for parts that do not overlap. Throws std::bad_alloc when
    // memory ran out.
    virtual void putRows(const QImage&, qint64 /*offset*/, const uchar* /*rows*/,
                         qint64 /*bytes*/) const {}
    // Told, once the reader knows it, how large the finished picture is (4 bytes a pixel): the
    // reader process then lowers its memory limit to what that picture needs.
    // workingPictures: the address space the whole read needs beyond a fixed working margin, in
    // pictures of that size (the finished picture itself, its library's own planes, a copy being
    // turned or converted), measured for each reader (kelmo_bench --reader-margin).
    virtual void pictureSized(qint64 /*bytes*/, double /*workingPictures*/) const {}
};

struct DecodeContext {
    qint64 maxBytes; // the largest ready-to-draw picture allowed, 4 bytes a pixel
    // Set while the application object is being built: nothing may go through Qt's plug-ins,
    // which read the application's library paths.
    bool beforeApplication = false;
    const PixelMemory* memory = nullptr; // null: ordinary memory

    // A picture made where `memory` says, for a buffer that may become the finished picture.
    QImage newImage(int width, int height, QImage::Format format) const {
        return memory != nullptr ? memory->make(width, height, format)
                                 : QImage(width, height, format);
    }
    // Refuses a picture whose pixels would not fit the limit, before anything is allocated.
    // workingPictures as PixelMemory::pictureSized takes it: three for a reader not measured.
    void checkSize(qint64 width, qint64 height, double workingPictures = 3) const;
};

// Thrown by a reader that would need Qt's plug-ins before the application object exists, or a
// format module not loaded yet: `module` names the module that would let it read now, if any.
struct NeedsApplication {
    const char* module = nullptr;
};

// Whether the head is an ISO base media file ("ftyp" box) whose major brand is one of `brands`
// (AVIF, HEIF).
bool hasBrand(const QByteArray& head, std::initializer_list<const char*> brands);

// Rows of R, G, B, A bytes (as libheif and libjxl give them) made Format_ARGB32, or Format_RGB32
// without alpha, in place. (Qt's own conversion may go through its thread pool, which a reader
// running before the application object exists must not start.)
void rgbaToArgb32(QImage& image, bool alpha);

// One format's reader; which one reads a file is decided by its signature (Formats.cpp).
class FrameReader;

class PictureDecoder {
  public:
    virtual ~PictureDecoder() = default;
    // Whether the reader may run while the application object is being built in the same
    // process. Only our bitmap reader does: it needs no module, and it gains (a large bitmap shows
    // 4 to 13 ms sooner). A reader process runs the others then too, once the helper has loaded
    // their module (ImageFileLoader::readEarly).
    virtual bool overlapsStartUp() const { return false; }
    // Reads the picture from the open file, positioned at its start. Throws DecodeFailure.
    virtual Decoded decode(QFile& file, const DecodeContext& context) const = 0;
    // The frames of the animation in the file, positioned at its start (FrameReader.h); null
    // where the file holds one picture, or the format does not animate. Throws DecodeFailure for
    // a damaged head, and refuses a canvas over the limit with context.checkSize.
    // (Defined where FrameReader is complete: DecoderSupport.cpp.)
    virtual std::unique_ptr<FrameReader> openFrames(QFile& file,
                                                    const DecodeContext& context) const;
};

// The frames of the animation in the file, positioned at its start: its head picks the format's
// reader, as decoderFor does. Null for a still picture (one frame), a format that does not
// animate, or one whose reader is not installed. Throws DecodeFailure for a damaged head or a
// canvas over the limit.
std::unique_ptr<FrameReader> openAnimation(QFile& file, const DecodeContext& context);

// The reader of the format whose signature the file's first bytes (up to 32 of them, fewer for a
// short file) carry; null when they are no format Kelmo reads. A format whose library could not
// be loaded has a reader that refuses every file, saying so. Left out on purpose: ICNS, TGA,
// TIFF, MNG, WBMP, XPM and SVG, whose readers have a poor security record or are not raster
// pictures.
const PictureDecoder* decoderFor(const QByteArray& head);
// The module (FormatModule.h) that brings the reader of the format the head names; null for a
// reader built in, Qt's own, or no format at all.
const char* moduleFor(const QByteArray& head);
// Small pictures of our own, in the formats people open most, for a reader to read once ahead of
// its first real read (RehearsalPictures.cpp).
QList<QByteArray> rehearsalPictures();
// The formats' short names ("jpeg"), and those of them Qt's own readers read.
QList<QByteArray> readableFormats();
QList<QByteArray> toolkitFormats();
// The file-name patterns of those formats, for the open dialog ("*.bmp *.dib ...").
QStringList readablePatterns();

} // namespace decoders
} // namespace platform
