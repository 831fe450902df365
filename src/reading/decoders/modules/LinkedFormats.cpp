// SPDX-License-Identifier: MIT
// The format modules linked into a program that reads in its own process.

#include "FormatModule.h"
#include "reading/ImageFileLoader.h"
#include "reading/decoders/AvifDecoder.h"
#include "reading/decoders/ColourToSrgb.h"
#include "reading/decoders/HeifDecoder.h"
#include "reading/decoders/JpegDecoder.h"
#include "reading/decoders/JxlDecoder.h"
#include "reading/decoders/gif/GifDecoder.h"
#include "reading/decoders/png/PngDecoder.h"
#include "reading/decoders/webp/WebpDecoder.h"

namespace platform::decoders {

void useLinkedFormats() {
    static const JpegDecoder jpeg;
    static const PngDecoder png;
    static const WebpDecoder webp;
    static const GifDecoder gif;
    static const AvifDecoder avif;
    static const HeifDecoder heif;
    static const JxlDecoder jxl;
    const std::pair<const char*, const PictureDecoder*> readers[] = {
        {"jpeg", &jpeg}, {"png", &png},   {"webp", &webp}, {"gif", &gif},
        {"avif", &avif}, {"heif", &heif}, {"jxl", &jxl},
    };
    for (const auto& [name, reader] : readers) {
        installModule(name, {formatModuleAbi, reader, nullptr});
    }
    installModule("colour", {formatModuleAbi, nullptr, convertWithLittleCms});
}

} // namespace platform::decoders

void platform::ImageFileLoader::useLinkedReaders() {
    decoders::useLinkedFormats();
}
