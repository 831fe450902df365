// SPDX-License-Identifier: MIT
#include "MalformedCorpus.h"

#include "BmpFiles.h"
#include "PictureEncoders.h"
#include "PngFiles.h"
#include "TestSupport.h"

#include <QtEndian>

namespace testing_support {

namespace {

QByteArray written(const char* format, int width, int height) {
    return encoded(patternImage(width, height), format, -1);
}

void truncations(std::vector<CorpusFile>& out, const QString& stem, const QString& suffix,
                 const QByteArray& whole, std::initializer_list<int> cuts) {
    for (int cut : cuts) {
        const int at = cut >= 0 ? cut : int(whole.size()) + cut;
        out.push_back(
            {QStringLiteral("%1-cortado-%2.%3").arg(stem).arg(at).arg(suffix), whole.left(at)});
    }
}

void bitmaps(std::vector<CorpusFile>& out) {
    const QByteArray b8 = makeBmp({8, 0}, 40, 30);
    const QByteArray b24 = makeBmp({24, 0}, 40, 30);
    const QByteArray rle = makeBmp({8, 1}, 40, 30);
    const QByteArray fields = makeBmp({32, 3, false, 40, {0xff0000, 0xff00, 0xff, 0}}, 8, 8);
    const int rlePixels = bmpParts(rle).pixelOffset;
    truncations(out, QStringLiteral("bmp8"), QStringLiteral("bmp"), b8,
                {2, 6, 14, 18, 30, 54, 54 + 512, 54 + 1024, 54 + 1024 + 600, -1});
    truncations(out, QStringLiteral("bmp24"), QStringLiteral("bmp"), b24, {54, 54 + 1000, -3});
    truncations(out, QStringLiteral("rle8"), QStringLiteral("bmp"), rle,
                {rlePixels + 1, rlePixels + 50});
    const struct {
        const char* name;
        QByteArray bytes;
    } lies[] = {
        {"ancho-0", with32(b24, 18, 0)},
        {"ancho-negativo", with32(b24, 18, quint32(-40))},
        {"alto-0", with32(b24, 22, 0)},
        {"100000x100000", with32(with32(b24, 18, 100000), 22, 100000)},
        {"bits-0", with16(b24, 28, 0)},
        {"bits-3", with16(b24, 28, 3)},
        {"bits-7", with16(b24, 28, 7)},
        {"bits-64", with16(b24, 28, 64)},
        {"pixeles-tras-el-final", with32(b24, 10, quint32(b24.size() + 100))},
        {"paleta-300", with32(b8, 46, 300)},
        {"rle-fuera-de-la-fila",
         [&] {
             QByteArray b = rle;
             b[rlePixels] = char(250);
             return b;
         }()},
        {"rle-fuera-de-la-imagen",
         [&] {
             QByteArray b = rle.left(rlePixels);
             b.append(QByteArray("\x00\x02\x00\x7f\x00\x01", 6));
             return with32(b, 2, quint32(b.size()));
         }()},
        {"mascaras-solapadas", with32(fields, 58, 0xffff00)},
        {"mascara-cero", with32(fields, 54, 0)},
    };
    for (const auto& lie : lies) {
        out.push_back({QStringLiteral("bmp-%1.bmp").arg(QString::fromUtf8(lie.name)), lie.bytes});
    }
}

void gifs(std::vector<CorpusFile>& out) {
    const QByteArray gif = makeGif(40, 30);
    // Signature, screen descriptor, colour table, image descriptor, first data block.
    truncations(out, QStringLiteral("gif"), QStringLiteral("gif"), gif,
                {3, 6, 10, 13, 13 + 300, 13 + 768, 13 + 768 + 5, 13 + 768 + 10});
    out.push_back({QStringLiteral("gif-ancho-0.gif"), with16(with16(gif, 6, 0), 13 + 768 + 5, 0)});
    out.push_back({QStringLiteral("gif-65535.gif"),
                   with16(with16(gif, 6, 65535), 8, 65535).left(13 + 768 + 12)});
}

void icons(std::vector<CorpusFile>& out) {
    const QByteArray ico = written("ico", 32, 32);
    truncations(out, QStringLiteral("ico"), QStringLiteral("ico"), ico, {2, 6, 14, 22, 40});
    out.push_back({QStringLiteral("ico-0-imagenes.ico"), with16(ico, 4, 0)});
    out.push_back({QStringLiteral("ico-desplazamiento-fuera.ico"), with32(ico, 18, 1u << 30)});
    out.push_back({QStringLiteral("ico-tamano-enorme.ico"), with32(ico, 14, 0x7fffffff)});
}

// The newer formats cut short, and files that start like them and go on with something else.
void newerFormats(std::vector<CorpusFile>& out) {
    const QImage image = patternImage(24, 16);
    const struct {
        const char* suffix;
        QByteArray bytes;
    } formats[] = {
        {"avif", encodeAvif(image)}, {"heic", encodeHeic(image)}, {"jxl", encodeJxl(image)}};
    for (const auto& f : formats) {
        if (f.bytes.isEmpty()) {
            continue; // no encoder for it in this build
        }
        const QString suffix = QString::fromLatin1(f.suffix);
        const int size = int(f.bytes.size());
        truncations(out, suffix, suffix, f.bytes, {16, 40, size / 2, size - 8});
        out.push_back({QStringLiteral("%1-con-basura.%1").arg(suffix),
                       f.bytes.left(32) + QByteArray(200, '\x5a')});
    }
}

// The PNG with the chunk at `at` given other data, under a CRC that matches it.
QByteArray rechunked(const QByteArray& png, int at, const QByteArray& data) {
    const int length = int(qFromBigEndian<quint32>(png.constData() + at));
    return png.left(at) + pngChunk(png.mid(at + 4, 4), data) + png.mid(at + 12 + length);
}

void pngs(std::vector<CorpusFile>& out) {
    const QByteArray png = makePng({.width = 40, .height = 30});
    constexpr int ihdr = 8, firstData = 33;
    const QByteArray header = png.mid(ihdr + 8, 13);
    truncations(out, QStringLiteral("png"), QStringLiteral("png"), png,
                {4, 8, 12, 20, firstData, firstData + 30, int(png.size()) / 2});
    QByteArray badCrc = png;
    badCrc[firstData + 40] = char(badCrc[firstData + 40] ^ 0x10);
    QByteArray garbage = png.mid(firstData + 8, 1000);
    garbage.fill('\x5a', 900);
    const auto headerWith = [&](int at, QByteArray bytes) {
        QByteArray h = header;
        h.replace(at, int(bytes.size()), bytes);
        return rechunked(png, ihdr, h);
    };
    const struct {
        const char* name;
        QByteArray bytes;
    } lies[] = {
        {"ancho-0", headerWith(0, QByteArray(4, '\0'))},
        {"100000x100000", headerWith(0, QByteArray::fromHex("000186a0000186a0"))},
        {"tipo-5", headerWith(9, QByteArray(1, '\5'))},
        {"bits-3", headerWith(8, QByteArray(1, '\3'))},
        {"entrelazado-2", headerWith(12, QByteArray(1, '\2'))},
        {"paleta-ausente", headerWith(8, QByteArray::fromHex("0803"))},
        {"crc-de-la-cabecera", QByteArray(png).replace(29, 1, "\xff")},
        {"crc-de-los-datos", badCrc},
        {"datos-basura", rechunked(png, firstData, garbage)},
        {"sin-datos", png.left(firstData) + pngChunk("IEND", {})},
        {"filtro-7",
         rechunked(makePng({.width = 40, .height = 30, .level = 0}), firstData,
                   [] {
                       QByteArray d =
                           makePng({.width = 40, .height = 30, .level = 0}).mid(33 + 8, 1000);
                       d[7] = 7; // zlib's and the stored block's headers first
                       return d;
                   }())},
    };
    for (const auto& lie : lies) {
        out.push_back({QStringLiteral("png-%1.png").arg(QString::fromUtf8(lie.name)), lie.bytes});
    }
}

void webps(std::vector<CorpusFile>& out) {
    for (const int quality : {80, 100}) {
        const QByteArray webp = encoded(patternImage(40, 30), "webp", quality);
        const QString stem = QStringLiteral("webp%1").arg(quality);
        const int size = int(webp.size());
        truncations(out, stem, QStringLiteral("webp"), webp, {12, 20, 30, size / 2, size - 8});
        out.push_back(
            {stem + QStringLiteral("-con-basura.webp"), webp.left(30) + QByteArray(300, '\x5a')});
    }
}

} // namespace

std::vector<CorpusFile> malformedCorpus() {
    std::vector<CorpusFile> out;
    bitmaps(out);
    gifs(out);
    icons(out);
    pngs(out);
    webps(out);
    newerFormats(out);
    out.push_back({QStringLiteral("vacio.bmp"), QByteArray()});
    out.push_back({QStringLiteral("texto.bmp"), QByteArray("Esto es un texto, no una imagen.\n")});
    return out;
}

std::vector<CorpusFile> validSeeds() {
    std::vector<CorpusFile> out;
    const BmpLayout layouts[] = {
        {1, 0},
        {4, 0},
        {8, 0},
        {8, 1},
        {4, 2},
        {16, 0},
        {24, 0},
        {32, 0},
        {24, 0, true},
        {16, 3, false, 40, {0xf800, 0x07e0, 0x001f, 0}},
        {32, 3, false, 124, {0xff0000, 0xff00, 0xff, 0xff000000}},
    };
    int n = 0;
    for (const BmpLayout& layout : layouts) {
        out.push_back({QStringLiteral("semilla-%1.bmp").arg(n++), makeBmp(layout, 19, 13)});
    }
    out.push_back({QStringLiteral("semilla.gif"), makeGif(19, 13)});
    out.push_back({QStringLiteral("semilla.ico"), written("ico", 16, 16)});
    out.push_back({QStringLiteral("semilla.png"), written("png", 19, 13)});
    const PngLayout pngLayouts[] = {
        {.width = 19, .height = 13, .bitDepth = 2, .colourType = 0, .interlaced = true},
        {.width = 19,
         .height = 13,
         .bitDepth = 4,
         .colourType = 3,
         .transparency = QByteArray("\x00\x80\xff", 3)},
        {.width = 19, .height = 13, .bitDepth = 16, .colourType = 6, .interlaced = true},
        {.width = 19, .height = 13, .chunks = {{"gAMA", QByteArray("\0\0\xb1\x8f", 4)}}},
    };
    for (const PngLayout& layout : pngLayouts) {
        out.push_back({QStringLiteral("semilla-%1.png").arg(n++), makePng(layout)});
    }
    out.push_back(
        {QStringLiteral("semilla-perdida.webp"), encoded(patternImage(19, 13), "webp", 80)});
    out.push_back(
        {QStringLiteral("semilla-sin-perdida.webp"), encoded(patternImage(19, 13), "webp", 100)});
    out.push_back(
        {QStringLiteral("semilla-animada.webp"), webpAnimation(patternImage(8, 6), 2, 2, 19, 13)});
    out.push_back({QStringLiteral("semilla.jpg"), written("jpeg", 19, 13)});
    out.push_back({QStringLiteral("semilla.avif"), encodeAvif(patternImage(19, 13), 1, 0)});
    out.push_back({QStringLiteral("semilla.heic"), encodeHeic(patternImage(19, 13))});
    out.push_back({QStringLiteral("semilla.jxl"), encodeJxl(patternImage(19, 13), 6)});
    std::erase_if(out, [](const CorpusFile& f) { return f.bytes.isEmpty(); }); // no encoder here
    return out;
}

} // namespace testing_support
