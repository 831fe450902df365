// SPDX-License-Identifier: MIT
#include "PngDecoder.h"

#include "ApngFrames.h"
#include "PngChunks.h"
#include "PngImageData.h"

#include <QFile>

namespace platform::decoders {

namespace {
// Measured (kelmo_bench --reader-margin): an interlaced 16-bit RGBA PNG of incompressible samples,
// 3.8 pictures.
constexpr double workingPictures = 4.5;
} // namespace

Decoded PngDecoder::decode(QFile& file, const DecodeContext& context) const {
    png::ChunkWalker chunks(file);
    png::PngFile png = chunks.readUpToData();
    context.checkSize(png.header.width, png.header.height, workingPictures);
    png::Canvas canvas = png::makeCanvas(png, context);
    const auto pages = png::pagesAhead(canvas, file.size() - file.pos());
    chunks.readData(png, canvas.room, canvas.roomSize);
    Decoded decoded;
    decoded.image = png::decodeImageData(png, std::move(canvas));
    decoded.orientation = png.orientation;
    decoded.iccProfile = png.iccProfile;
    if (png.codePoints) {
        decoded.codePoints = *png.codePoints; // over any profile, as PNG's rules say
        decoded.iccProfile.clear();
    }
    return decoded;
}

std::unique_ptr<FrameReader> PngDecoder::openFrames(QFile& file,
                                                    const DecodeContext& context) const {
    return png::openApngFrames(file, context);
}

} // namespace platform::decoders
