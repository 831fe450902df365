// SPDX-License-Identifier: MIT
#pragma once

// The frames of an animated picture, composed as the browsers compose them: each frame comes out
// as the whole canvas as it is to be seen, with how long it stays. A reader of frames reads the
// file from its start to its end once; to play the animation again the file is opened again.

#include "PictureDecoder.h"

#include <QImage>
#include <memory>
#include <optional>

namespace platform::decoders {

struct AnimationFrame {
    // The whole canvas: Format_ARGB32 (not premultiplied), or Format_RGB32 where the animation
    // has no alpha at all; made with the context's newImage, so that a reader process can hand it
    // over as it is. The finishing step (PictureFinish) still runs on it.
    QImage canvas;
    int delayMs = 100; // after frameDelayMs: never 10 ms or less
};

struct AnimationInfo {
    int width = 0; // the canvas, in pixels
    int height = 0;
    int plays = 0;         // how many times the whole animation plays; 0: for ever
    int frameCount = -1;   // as the file declares it, -1 where the container does not say
    QByteArray iccProfile; // what the frames' colours are in, as Decoded says it
    CodePoints codePoints;
};

class FrameReader {
  public:
    virtual ~FrameReader() = default;
    virtual const AnimationInfo& info() const = 0;
    // The next composed frame; nothing after the last. Throws DecodeFailure where the file is
    // damaged or ends early: the frames read before stand, and the animation stops on the last
    // of them. Throws std::bad_alloc where memory ran out.
    virtual std::optional<AnimationFrame> next() = 0;
};

// What a reader of frames holds besides the frame it hands over, in canvases: the canvas being
// composed, the one kept to go back to, the library's own (libwebp's animation decoder keeps two),
// and a copy being finished.
inline constexpr int frameReaderWorkingPictures = 5;

// How long a frame stays, in the browsers' rule: a declared delay of 10 ms or less shows for
// 100 ms.
constexpr int frameDelayMs(int declaredMs) {
    return declaredMs <= 10 ? 100 : declaredMs;
}

} // namespace platform::decoders
