// SPDX-License-Identifier: MIT
// The table of formats: each one's signature, and its reader, built in or brought by a module.

#include "BmpDecoder.h"
#include "FrameReader.h"
#include "QtImageDecoder.h"
#include "modules/FormatModule.h"

#include <QFile>
#include <QStringList>
#include <array>
#include <cstdint>
#include <cstring>

namespace platform::decoders {

namespace {

bool isBitmap(const QByteArray& h) {
    return h.startsWith("BM");
}
bool isJpeg(const QByteArray& h) {
    return h.startsWith("\xff\xd8\xff");
}
bool isPng(const QByteArray& h) {
    return h.startsWith("\x89PNG\r\n\x1a\n");
}
bool isGif(const QByteArray& h) {
    return h.startsWith("GIF87a") || h.startsWith("GIF89a");
}
bool isWebp(const QByteArray& h) {
    return h.startsWith("RIFF") && h.mid(8, 4) == "WEBP";
}
bool isIcon(const QByteArray& h) { // icons and cursors: reserved 0, type 1 or 2, count > 0
    return h.size() >= 6 && h[0] == 0 && h[1] == 0 && (h[2] == 1 || h[2] == 2) && h[3] == 0 &&
           (h[4] != 0 || h[5] != 0);
}
bool isAnymap(const QByteArray& h) { // P1 to P6 and a blank
    return h.size() >= 3 && h[0] == 'P' && h[1] >= '1' && h[1] <= '6' &&
           QByteArrayView(" \t\r\n").contains(h[2]);
}
bool isXbm(const QByteArray& h) {
    return h.startsWith("#define ");
}
bool isAvif(const QByteArray& h) {
    return hasBrand(h, {"avif", "avis"});
}
bool isHeif(const QByteArray& h) {
    return hasBrand(h, {"heic", "heix", "heim", "heis", "hevc", "hevx", "mif1", "msf1"});
}
bool isJxl(const QByteArray& h) { // a bare codestream, or the container's signature box
    return h.startsWith("\xff\x0a") || h.startsWith(QByteArrayView("\0\0\0\x0cJXL \r\n\x87\n", 12));
}

// The reader of a format whose module could not be loaded.
class MissingDecoder : public PictureDecoder {
  public:
    explicit MissingDecoder(const char* library) : library_(library) {}
    Decoded decode(QFile&, const DecodeContext&) const override {
        throw DecodeFailure(QStringLiteral("no se pudo cargar la biblioteca que lee %1")
                                .arg(QLatin1String(library_)));
    }

  private:
    const char* library_;
};

struct Format {
    QByteArray name;
    bool (*signature)(const QByteArray& head);
    const PictureDecoder* decoder; // null until its module is installed
    MissingDecoder missing;
    bool toolkit = false; // read by Qt's own reader
    // Where Qt's reader reads the stills, the module's reader of the format's animations.
    const PictureDecoder* animations = nullptr;

    const PictureDecoder* framesReader() const { return toolkit ? animations : decoder; }
};

// Written only before any reader runs (the helper loads the modules before it forks one, a
// program that links them installs them first thing), read from then on.
struct Registry {
    BitmapDecoder bmp;
    QtImageDecoder gif{"gif"}, ico{"ico"}, anymap{"ppm"}, xbm{"xbm"};
    std::array<Format, 11> formats{{
        {"bmp", isBitmap, &bmp, MissingDecoder{"BMP"}},
        {"jpeg", isJpeg, nullptr, MissingDecoder{"JPEG"}},
        {"png", isPng, nullptr, MissingDecoder{"PNG"}},
        {"gif", isGif, &gif, MissingDecoder{"GIF"}, true},
        {"webp", isWebp, nullptr, MissingDecoder{"WebP"}},
        {"ico", isIcon, &ico, MissingDecoder{"ICO"}, true},
        {"ppm", isAnymap, &anymap, MissingDecoder{"PNM"}, true},
        {"xbm", isXbm, &xbm, MissingDecoder{"XBM"}, true},
        {"avif", isAvif, nullptr, MissingDecoder{"AVIF"}},
        {"heif", isHeif, nullptr, MissingDecoder{"HEIF"}},
        {"jxl", isJxl, nullptr, MissingDecoder{"JPEG XL"}},
    }};
    bool (*littleCms)(Decoded&) = nullptr;
    std::uint32_t tried = 0; // a bit a module, in the order of formatModules

    Format* find(const char* name) {
        for (Format& format : formats) {
            if (format.name == name) {
                return &format;
            }
        }
        return nullptr;
    }
};

Registry& registry() {
    static Registry table;
    return table;
}

// The format whose signature the head carries, or null.
const Format* formatOf(const QByteArray& head) {
    for (const Format& format : registry().formats) {
        if (format.signature(head)) {
            return &format;
        }
    }
    return nullptr;
}

} // namespace

const PictureDecoder* decoderFor(const QByteArray& head) {
    const Format* format = formatOf(head);
    if (format == nullptr) {
        return nullptr;
    }
    return format->decoder != nullptr ? format->decoder : &format->missing;
}

const char* moduleFor(const QByteArray& head) {
    const Format* format = formatOf(head);
    return format == nullptr || format->toolkit ? nullptr : formatModuleNamed(format->name);
}

std::unique_ptr<FrameReader> openAnimation(QFile& file, const DecodeContext& context) {
    const Format* format = formatOf(file.peek(32));
    const PictureDecoder* reader = format != nullptr ? format->framesReader() : nullptr;
    return reader != nullptr ? reader->openFrames(file, context) : nullptr;
}

QList<QByteArray> readableFormats() {
    QList<QByteArray> names;
    for (const Format& format : registry().formats) {
        names << format.name;
    }
    return names;
}

QList<QByteArray> toolkitFormats() {
    QList<QByteArray> names;
    for (const Format& format : registry().formats) {
        if (format.toolkit) {
            names << format.name;
        }
    }
    return names;
}

QStringList readablePatterns() {
    return QStringLiteral("*.bmp *.dib *.gif *.ico *.cur *.png *.jpg *.jpeg *.jpe *.jfif *.webp "
                          "*.pbm *.pgm *.ppm *.pnm *.xbm *.avif *.heic *.heif *.hif *.jxl")
        .split(QLatin1Char(' '));
}

void installModule(const char* name, const ModuleExports& exports) {
    Registry& table = registry();
    if (exports.convertColour != nullptr) {
        table.littleCms = exports.convertColour;
    }
    if (Format* format = table.find(name); format != nullptr && exports.decoder != nullptr) {
        (format->toolkit ? format->animations : format->decoder) = exports.decoder;
    }
}

bool moduleInstalled(const char* name) {
    Registry& table = registry();
    if (std::strcmp(name, "colour") == 0) {
        return table.littleCms != nullptr;
    }
    const Format* format = table.find(name);
    return format != nullptr && format->framesReader() != nullptr;
}

bool firstTryOf(const char* name) {
    std::uint32_t bit = 1;
    for (const char* module : formatModules) {
        if (std::strcmp(module, name) == 0) {
            const bool first = (registry().tried & bit) == 0;
            registry().tried |= bit;
            return first;
        }
        bit <<= 1;
    }
    return true;
}

bool (*installedLittleCms())(Decoded&) {
    return registry().littleCms;
}

} // namespace platform::decoders
