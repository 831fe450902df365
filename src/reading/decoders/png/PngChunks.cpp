// SPDX-License-Identifier: MIT
#include "PngChunks.h"

#include "reading/decoders/ContainerMetadata.h"

#include <QColorSpace>
#include <QIODevice>
#include <QPointF>
#include <cstring>
#include <libdeflate.h>
#include <zlib.h>

namespace platform::decoders::png {

namespace {

quint32 be32(const uchar* p) {
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | quint32(p[3]);
}

[[noreturn]] void fail(const char* reason) {
    throw DecodeFailure(QString::fromUtf8(reason));
}

struct Chunk {
    QByteArrayView type;
    const uchar* data;
    quint32 length;
    bool intact; // its CRC matches
};

bool is(const Chunk& chunk, const char* type) {
    return chunk.type == QByteArrayView(type, 4);
}

bool critical(const Chunk& chunk) {
    return (chunk.type[0] & 0x20) == 0;
}

void readHeader(const Chunk& chunk, Header& header) {
    if (chunk.length != 13) {
        fail("la cabecera PNG está dañada");
    }
    const uchar* p = chunk.data;
    const quint32 width = be32(p);
    const quint32 height = be32(p + 4);
    header.bitDepth = p[8];
    header.colourType = p[9];
    const int depth = header.bitDepth;
    bool valid = false;
    switch (header.colourType) {
    case Grey:
        valid = depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
        break;
    case Indexed:
        valid = depth == 1 || depth == 2 || depth == 4 || depth == 8;
        break;
    case Truecolour:
    case GreyAlpha:
    case TruecolourAlpha:
        valid = depth == 8 || depth == 16;
        break;
    default:
        break;
    }
    if (!valid || p[10] != 0 || p[11] != 0 || p[12] > 1) {
        fail("la cabecera PNG describe un tipo de imagen desconocido");
    }
    if (width == 0 || height == 0 || width > 0x7fffffffu || height > 0x7fffffffu) {
        fail("la imagen no tiene píxeles");
    }
    // Larger sizes are refused by the memory bound; this keeps them in an int until then.
    header.width = int(std::min<quint32>(width, 1u << 30));
    header.height = int(std::min<quint32>(height, 1u << 30));
    header.interlaced = p[12] == 1;
}

void readPalette(const Chunk& chunk, PngFile& file) {
    if (file.header.colourType != Indexed) {
        return; // a suggested palette for a truecolour picture: not needed
    }
    if (chunk.length == 0 || chunk.length % 3 != 0 || chunk.length > 3 * 256) {
        fail("la paleta PNG está dañada");
    }
    const int entries = std::min(int(chunk.length / 3), 1 << file.header.bitDepth);
    for (int i = 0; i < entries; ++i) {
        const uchar* c = chunk.data + 3 * i;
        file.palette[size_t(i)] = qRgb(c[0], c[1], c[2]);
    }
    file.paletteSize = entries;
}

// A tRNS chunk that does not fit the picture is passed over, as libpng does.
void readTransparency(const Chunk& chunk, PngFile& file) {
    const uchar* p = chunk.data;
    switch (file.header.colourType) {
    case Indexed:
        if (file.paletteSize == 0 || chunk.length == 0 ||
            chunk.length > quint32(file.paletteSize)) {
            return;
        }
        for (quint32 i = 0; i < chunk.length; ++i) {
            const QRgb c = file.palette[i];
            file.palette[i] = qRgba(qRed(c), qGreen(c), qBlue(c), p[i]);
        }
        break;
    case Grey:
        if (chunk.length != 2) {
            return;
        }
        file.transparency.key[0] = quint16((p[0] << 8) | p[1]);
        break;
    case Truecolour:
        if (chunk.length != 6) {
            return;
        }
        for (int i = 0; i < 3; ++i) {
            file.transparency.key[size_t(i)] = quint16((p[2 * i] << 8) | p[2 * i + 1]);
        }
        break;
    default:
        return; // the picture has an alpha channel of its own
    }
    file.transparency.present = true;
}

// The profile of an iCCP chunk: a name, a zero, the compression method (0) and the deflated
// profile; empty when it is damaged.
QByteArray inflatedProfile(const Chunk& chunk) {
    const auto* end = chunk.data + chunk.length;
    const auto* zero = static_cast<const uchar*>(std::memchr(chunk.data, 0, chunk.length));
    if (zero == nullptr || zero + 2 > end || zero[1] != 0) {
        return {};
    }
    constexpr qsizetype largest = 16 << 20;
    QByteArray profile;
    z_stream z{};
    if (inflateInit(&z) != Z_OK) {
        return {};
    }
    z.next_in = const_cast<uchar*>(zero + 2);
    z.avail_in = uInt(end - (zero + 2));
    int status = Z_OK;
    while (status == Z_OK && profile.size() < largest) {
        const qsizetype had = profile.size();
        profile.resize(had + 64 * 1024);
        z.next_out = reinterpret_cast<uchar*>(profile.data() + had);
        z.avail_out = 64 * 1024;
        status = inflate(&z, Z_NO_FLUSH);
        profile.resize(profile.size() - qsizetype(z.avail_out));
    }
    inflateEnd(&z);
    return status == Z_STREAM_END ? profile : QByteArray();
}

// The colour chunks, weighed as Qt's reader weighs them: a profile Qt understands, over an sRGB
// chunk, over a gamma (with the cHRM primaries where they are given).
class ColourChunks {
  public:
    explicit ColourChunks(bool grey) : grey_(grey) {}

    void take(const Chunk& chunk) {
        if (is(chunk, "iCCP") && !iccp_) {
            iccp_ = true;
            const QByteArray profile = inflatedProfile(chunk);
            // libpng passes over a profile for the other kind of picture (grey or colour).
            if (profile.size() < 20 || profile.mid(16, 4) != (grey_ ? "GRAY" : "RGB ")) {
                return;
            }
            const QColorSpace space = QColorSpace::fromIccProfile(profile);
            if (space.isValid()) {
                icc_ = space;
            }
        } else if (is(chunk, "sRGB") && !srgb_ && chunk.length == 1) {
            srgb_ = chunk.data[0] <= 3;
        } else if (is(chunk, "gAMA") && gamma_ == 0 && chunk.length == 4) {
            gamma_ = be32(chunk.data);
        } else if (is(chunk, "cHRM") && !chrm_ && chunk.length == 32) {
            chrm_ = true;
            for (int i = 0; i < 8; ++i) {
                chromaticity_[size_t(i)] = double(be32(chunk.data + 4 * i)) / 100000.0;
            }
        }
    }

    QByteArray profile() const {
        QColorSpace space = icc_;
        if (!space.isValid() && srgb_) {
            return {};
        }
        if (!space.isValid() && gamma_ > 0) {
            const double g = double(gamma_) / 100000.0;
            const auto& c = chromaticity_;
            const QPointF white(c[0], c[1]), red(c[2], c[3]), green(c[4], c[5]), blue(c[6], c[7]);
            if (chrm_) {
                space = QColorSpace(white, red, green, blue, QColorSpace::TransferFunction::Gamma,
                                    float(1.0 / g));
            }
            if (!space.isValid()) {
                space = QColorSpace(QColorSpace::Primaries::SRgb,
                                    QColorSpace::TransferFunction::Gamma, float(1.0 / g));
            }
        }
        if (!space.isValid() || space == QColorSpace(QColorSpace::SRgb)) {
            return {};
        }
        return space.iccProfile();
    }

  private:
    bool grey_;
    bool iccp_ = false;
    QColorSpace icc_;
    bool srgb_ = false;
    quint32 gamma_ = 0;
    bool chrm_ = false;
    std::array<double, 8> chromaticity_{};
};

} // namespace

int Header::channels() const {
    switch (colourType) {
    case Truecolour:
        return 3;
    case GreyAlpha:
        return 2;
    case TruecolourAlpha:
        return 4;
    default:
        return 1;
    }
}

ChunkWalker::ChunkWalker(QIODevice& file) : file_(file) {}

bool ChunkWalker::nextHeader() {
    uchar head[8];
    if (file_.read(reinterpret_cast<char*>(head), 8) != 8) {
        return false;
    }
    length_ = be32(head);
    std::memcpy(type_, head + 4, 4);
    // A chunk longer than what is left of the file is cut short: there is no more to read.
    return length_ <= 0x7fffffffu && qint64(length_) + 4 <= file_.size() - file_.pos();
}

bool ChunkWalker::readPayload(uchar* into) {
    uchar stored[4];
    if (file_.read(reinterpret_cast<char*>(into), length_) != qint64(length_) ||
        file_.read(reinterpret_cast<char*>(stored), 4) != 4) {
        return false;
    }
    const quint32 crc = libdeflate_crc32(libdeflate_crc32(0, type_, 4), into, length_);
    intact_ = crc == be32(stored);
    return true;
}

void ChunkWalker::takeMetadata(QByteArrayView type, QByteArrayView data, PngFile& file) {
    // As the container scan before: the first of each, wherever it is, whatever its CRC.
    if (type == "eXIf" && !seenExif_) {
        seenExif_ = true;
        file.orientation = exifOrientation(data);
    } else if (type == "cICP" && !seenCodePoints_) {
        seenCodePoints_ = true;
        if (data.size() >= 4) {
            file.codePoints = CodePoints{quint8(data[0]), quint8(data[1])};
        }
    }
}

bool ChunkWalker::isMetadata() const {
    return std::memcmp(type_, "eXIf", 4) == 0 || std::memcmp(type_, "cICP", 4) == 0;
}

PngFile ChunkWalker::readUpToData() {
    char signature[8];
    if (file_.read(signature, 8) != 8 || std::memcmp(signature, "\x89PNG\r\n\x1a\n", 8) != 0) {
        fail("el archivo termina antes de tiempo");
    }
    PngFile file;
    ColourChunks colours(false);
    bool haveHeader = false;
    bool beforePalette = true;
    QByteArray payload;
    while (true) {
        if (!nextHeader()) {
            fail("el archivo termina antes de tiempo");
        }
        const QByteArrayView type(type_, 4);
        if (haveHeader && type == "IDAT") {
            if (file.header.colourType == Indexed && file.paletteSize == 0) {
                fail("falta la paleta PNG");
            }
            break;
        }
        payload.resize(qsizetype(length_));
        if (!readPayload(reinterpret_cast<uchar*>(payload.data()))) {
            fail("el archivo termina antes de tiempo");
        }
        const Chunk chunk{type, reinterpret_cast<const uchar*>(payload.constData()), length_,
                          intact_};
        takeMetadata(type, payload, file);
        if (!chunk.intact && (critical(chunk) || !haveHeader)) {
            fail("el archivo está dañado (la suma de control de un bloque no coincide)");
        }
        if (!haveHeader) {
            if (!is(chunk, "IHDR")) {
                fail("falta la cabecera PNG");
            }
            readHeader(chunk, file.header);
            haveHeader = true;
            colours = ColourChunks((file.header.colourType & 2) == 0);
        } else if (is(chunk, "IEND")) {
            fail("el archivo no tiene datos de imagen");
        } else if (is(chunk, "PLTE")) {
            readPalette(chunk, file);
            beforePalette = false;
        } else if (!chunk.intact) {
            continue;
        } else if (is(chunk, "tRNS")) {
            readTransparency(chunk, file);
        } else if (is(chunk, "acTL") && chunk.length == 8 && !file.animation) {
            file.animation = AnimationControl{be32(chunk.data), be32(chunk.data + 4)};
        } else if (is(chunk, "fcTL") && !file.firstFrame) {
            file.firstFrame = frameControl(QByteArrayView(chunk.data, chunk.length));
        } else if (beforePalette) {
            colours.take(chunk);
        }
    }
    file.iccProfile = colours.profile();
    headerRead_ = true;
    return file;
}

bool ChunkWalker::readChunk(QByteArray& type, QByteArray& payload) {
    if (!headerRead_ && !nextHeader()) {
        return false;
    }
    headerRead_ = false;
    type = QByteArray(reinterpret_cast<const char*>(type_), 4);
    payload.resize(qsizetype(length_));
    return readPayload(reinterpret_cast<uchar*>(payload.data()));
}

std::optional<FrameControl> frameControl(QByteArrayView payload) {
    if (payload.size() != 26) {
        return std::nullopt;
    }
    const auto* p = reinterpret_cast<const uchar*>(payload.data());
    const auto be16 = [](const uchar* q) { return (int(q[0]) << 8) | int(q[1]); };
    const quint32 width = be32(p + 4), height = be32(p + 8), x = be32(p + 12), y = be32(p + 16);
    if (width == 0 || height == 0 || width > 1u << 30 || height > 1u << 30 || x > 1u << 30 ||
        y > 1u << 30 || p[24] > FrameControl::Previous || p[25] > FrameControl::Over) {
        return std::nullopt;
    }
    const int numerator = be16(p + 20);
    const int denominator = be16(p + 22) == 0 ? 100 : be16(p + 22); // 0 stands for hundredths
    return FrameControl{int(width), int(height), int(x), int(y), numerator * 1000 / denominator,
                        p[24],      p[25]};
}

void ChunkWalker::readData(PngFile& file, uchar* room, qsizetype roomSize) {
    const qint64 left = file_.size() - file_.pos(); // the most the image data can be
    uchar* into = room;
    if (left > roomSize) {
        file.spill.resize(qsizetype(left));
        into = reinterpret_cast<uchar*>(file.spill.data());
    }
    qsizetype gathered = 0;
    bool more = true;
    while (more && std::memcmp(type_, "IDAT", 4) == 0) {
        if (!readPayload(into + gathered)) {
            more = false; // cut short: what came before is all there is
            break;
        }
        if (!intact_) {
            fail("el archivo está dañado (la suma de control de un bloque no coincide)");
        }
        gathered += qsizetype(length_);
        more = nextHeader();
    }
    file.data = into;
    file.dataSize = gathered;
    // Only the metadata may still come: image data after other chunks is not the picture's.
    QByteArray payload;
    while (more && std::memcmp(type_, "IEND", 4) != 0 && !(seenExif_ && seenCodePoints_)) {
        if (isMetadata()) {
            payload.resize(qsizetype(length_));
            if (!readPayload(reinterpret_cast<uchar*>(payload.data()))) {
                break;
            }
            takeMetadata(QByteArrayView(type_, 4), payload, file);
        } else if (!file_.seek(file_.pos() + qint64(length_) + 4)) {
            break;
        }
        more = nextHeader();
    }
}

} // namespace platform::decoders::png
