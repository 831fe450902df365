// SPDX-License-Identifier: MIT
#pragma once

// A PNG file's chunks, walked once: the header, the palette and its transparency, the colour
// chunks (as Qt's reader weighs them, so that a picture shows the colours it showed before), and
// the image data gathered in place into one stream. Every chunk used has its CRC checked: a
// damaged critical chunk refuses the file, a damaged ancillary one is passed over.

#include "reading/decoders/PictureDecoder.h"

#include <QByteArray>
#include <QByteArrayView>
#include <array>
#include <optional>

class QIODevice;

namespace platform::decoders::png {

enum ColourType : int { Grey = 0, Truecolour = 2, Indexed = 3, GreyAlpha = 4, TruecolourAlpha = 6 };

struct Header {
    int width = 0;
    int height = 0;
    int bitDepth = 0;
    int colourType = 0;
    bool interlaced = false;

    int channels() const;
    // Bytes a whole pixel takes, at least one (the filters' distance to the left neighbour).
    int filterStep() const { return std::max(1, channels() * bitDepth / 8); }
    // Bytes of one row of `pixels` samples, without its filter byte.
    qint64 rowBytes(qint64 pixels) const { return (pixels * channels() * bitDepth + 7) / 8; }
};

// The colour a sample value stands for, whether transparent or not, where the picture has a
// palette or a transparent colour (tRNS).
struct Transparency {
    bool present = false;
    std::array<quint16, 3> key{}; // grey in [0], or red, green, blue: the one transparent colour
};

// An animated PNG's frame control chunk (fcTL): where the frame goes, how long it stays, and
// what happens to its rectangle.
struct FrameControl {
    enum Dispose : int { None = 0, Background = 1, Previous = 2 };
    enum Blend : int { Source = 0, Over = 1 };
    int width = 0;
    int height = 0;
    int x = 0;
    int y = 0;
    int delayMs = 0; // as declared
    int dispose = None;
    int blend = Source;
};
// Null where the chunk is not one (a wrong length, an unknown dispose or blend kind).
std::optional<FrameControl> frameControl(QByteArrayView payload);

// The animation control chunk (acTL), where it comes before the image data.
struct AnimationControl {
    quint32 frames = 0;
    quint32 plays = 0; // 0: for ever
};

struct PngFile {
    Header header;
    std::array<QRgb, 256> palette{}; // with the tRNS alpha; entries past `paletteSize` unset
    int paletteSize = 0;
    Transparency transparency;
    QByteArray iccProfile;                          // empty: untagged or sRGB
    Orientation orientation = Orientation::Upright; // from the eXIf chunk
    std::optional<CodePoints> codePoints;           // from the cICP chunk
    std::optional<AnimationControl> animation;      // from the acTL chunk
    std::optional<FrameControl> firstFrame;         // an fcTL before the image data
    // The concatenated image data (zlib stream): in the room the reader gave, or in `spill`.
    const uchar* data = nullptr;
    qsizetype dataSize = 0;
    QByteArray spill;
};

// Reads a PNG's chunks from the file, in two steps: up to the image data (everything needed to
// make the picture's buffer), then the image data, into room in that buffer where it fits. No
// chunk is read whole into memory but the image data. Each step throws DecodeFailure with a
// short Spanish reason.
class ChunkWalker {
  public:
    explicit ChunkWalker(QIODevice& file);
    PngFile readUpToData();
    // The image data, into `room` when the rest of the file fits there; then any metadata after.
    void readData(PngFile& file, uchar* room, qsizetype roomSize);
    // Instead of readData, for an animation's frames: the next chunk whole, from the first image
    // data chunk on. False at the file's end or where a chunk is cut short; intact() then says
    // whether its CRC matches.
    bool readChunk(QByteArray& type, QByteArray& payload);
    bool intact() const { return intact_; }

  private:
    bool nextHeader();
    bool readPayload(uchar* into);
    bool isMetadata() const;
    void takeMetadata(QByteArrayView type, QByteArrayView data, PngFile& file);

    QIODevice& file_;
    quint32 length_ = 0;
    uchar type_[4] = {};
    bool intact_ = false;
    bool seenExif_ = false;
    bool seenCodePoints_ = false;
    bool headerRead_ = false; // the next chunk's header is read already
};

} // namespace platform::decoders::png
