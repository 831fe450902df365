// SPDX-License-Identifier: MIT
#include "PngDecoder.h"

#include "PngChunks.h"
#include "PngImageData.h"
#include "platform/decoders/ContainerMetadata.h"

#include <QFile>

namespace platform::decoders {

Decoded PngDecoder::decode(QFile& file, const DecodeContext& context) const {
    QByteArray bytes = file.readAll();
    if (bytes.size() < 8) {
        throw DecodeFailure(QStringLiteral("el archivo termina antes de tiempo"));
    }
    Decoded decoded;
    // The metadata is looked for before the image data is gathered over the file's bytes.
    decoded.orientation = orientationInContainer(bytes, "png");
    const std::optional<CodePoints> cicp = pngCodePoints(bytes);
    png::PngFile png = png::readChunks(bytes);
    context.checkSize(png.header.width, png.header.height);
    decoded.image = png::decodeImageData(png);
    decoded.iccProfile = png.iccProfile;
    if (cicp) {
        decoded.codePoints = *cicp; // over any profile, as PNG's rules say
        decoded.iccProfile.clear();
    }
    return decoded;
}

} // namespace platform::decoders
