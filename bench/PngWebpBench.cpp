// SPDX-License-Identifier: MIT
// Our PNG and WebP readers against Qt's readers of the same files, and against the floor: the
// PNG's raw inflate of its image data (by libdeflate, and by zlib for the choice between them).
// Noise photographs of 6000 × 4000 and 12000 × 12000 (PNG) and 6000 × 4000 and 8000 × 6000
// (WebP); every side is measured in the same loop.

#include "reading/ImageFileLoader.h"
#include "reading/decoders/png/PngChunks.h"
#include "reading/decoders/png/PngImageData.h"

#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <libdeflate.h>
#include <map>
#include <sys/resource.h>
#include <vector>
#include <zlib.h>

namespace {

double secondsOf(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e9;
}

// Smooth light and colour with fine grain, as a photograph has; the grain is chosen so that a
// 12000 × 12000 PNG holds about 53 MB of image data, near the 44.6 MB of the pictures the launch
// comparison in the issue used. `magenta` keeps every pixel near magenta, for the launch probe.
QImage noisePhotograph(int width, int height, bool magenta = false) {
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(11);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int grain = int(random.bounded(2u));
            row[x] = magenta ? qRgb(255 - grain, grain, 255 - (x * 10 / width + grain))
                             : qRgb((x / 24 + grain) & 0xff, (y / 16 + grain) & 0xff,
                                    ((x + y) / 40 + grain) & 0xff);
        }
    }
    return image;
}

bool writePicture(const QImage& image, const QString& path, const char* format) {
    QImageWriter writer(path, format);
    if (QByteArray(format) == "webp") {
        writer.setQuality(90);
    }
    return writer.write(image);
}

const QString& pictureFile(const char* format, int width, int height) {
    static QTemporaryDir dir;
    static std::map<QString, QString> files;
    const QString key =
        QStringLiteral("%1-%2x%3").arg(QLatin1String(format)).arg(width).arg(height);
    if (!files.count(key)) {
        const QString path = dir.filePath(key + QLatin1Char('.') + QLatin1String(format));
        writePicture(noisePhotograph(width, height), path, format);
        files[key] = path;
    }
    return files[key];
}

double qtReaderSeconds(const QString& path, const char* format) {
    QElapsedTimer timer;
    timer.start();
    QImageReader reader(path, format);
    reader.setAutoTransform(false);
    QImage image = reader.read();
    image.convertTo(QImage::Format_RGB32);
    benchmark::DoNotOptimize(image.constBits());
    return secondsOf(timer);
}

double oursSeconds(const QString& path) {
    platform::ImageFileLoader loader;
    QElapsedTimer timer;
    timer.start();
    const platform::Picture picture = loader.loadPicture(path);
    benchmark::DoNotOptimize(picture.pixels().constBits());
    return secondsOf(timer);
}

// The PNG's image data alone, gathered from its chunks, and its inflated size.
struct ImageData {
    platform::decoders::png::PngFile png;
    size_t inflated = 0;
};

ImageData imageData(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    ImageData data;
    platform::decoders::png::ChunkWalker chunks(file);
    data.png = chunks.readUpToData();
    chunks.readData(data.png, nullptr, 0);
    const auto& h = data.png.header;
    data.inflated = size_t(h.height) * size_t(h.rowBytes(h.width) + 1);
    return data;
}

double libdeflateSeconds(const ImageData& data, std::vector<uchar>& out) {
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    QElapsedTimer timer;
    timer.start();
    libdeflate_zlib_decompress(d, data.png.data, size_t(data.png.dataSize), out.data(), out.size(),
                               nullptr);
    const double t = secondsOf(timer);
    libdeflate_free_decompressor(d);
    return t;
}

double zlibSeconds(const ImageData& data, std::vector<uchar>& out) {
    QElapsedTimer timer;
    timer.start();
    uLongf size = uLongf(out.size());
    uncompress(out.data(), &size, data.png.data, uLong(data.png.dataSize));
    return secondsOf(timer);
}

// Range: the side of the picture (6000: 6000 × 4000, 12000: 12000 × 12000).
void BM_ReadPng(benchmark::State& state) {
    const int width = int(state.range(0));
    const int height = width == 6000 ? 4000 : width;
    const QString& path = pictureFile("png", width, height);
    const ImageData data = imageData(path);
    std::vector<uchar> out(data.inflated);
    double qt = 0, ours = 0, deflate = 0, zlib = 0, zlibRows = 0;
    for (auto _ : state) {
        qt += qtReaderSeconds(path, "png");
        const double t = oursSeconds(path);
        ours += t;
        state.SetIterationTime(t);
        deflate += libdeflateSeconds(data, out);
        zlib += zlibSeconds(data, out);
        QElapsedTimer timer;
        timer.start();
        benchmark::DoNotOptimize(
            platform::decoders::png::decodeImageDataWithZlib(data.png).constBits());
        zlibRows += secondsOf(timer);
    }
    const double n = double(state.iterations());
    state.SetLabel(QStringLiteral("%1x%2 PNG, %3 MB of image data")
                       .arg(width)
                       .arg(height)
                       .arg(double(data.png.dataSize) / 1e6, 0, 'f', 1)
                       .toStdString());
    state.counters["qt_reader_ms"] = qt / n * 1000;
    state.counters["vs_qt_reader"] = ours / qt;
    state.counters["libdeflate_inflate_ms"] = deflate / n * 1000;
    state.counters["zlib_inflate_ms"] = zlib / n * 1000;
    state.counters["vs_libdeflate_floor"] = ours / deflate;
    state.counters["zlib_rows_vs_ours"] = zlibRows / ours;
}
BENCHMARK(BM_ReadPng)
    ->Arg(6000)
    ->Arg(12000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// Range: the side of the picture (6000: 6000 × 4000, 8000: 8000 × 6000), lossy at quality 90.
void BM_ReadWebp(benchmark::State& state) {
    const int width = int(state.range(0));
    const int height = width == 6000 ? 4000 : 6000;
    const QString& path = pictureFile("webp", width, height);
    double qt = 0, ours = 0;
    for (auto _ : state) {
        qt += qtReaderSeconds(path, "webp");
        const double t = oursSeconds(path);
        ours += t;
        state.SetIterationTime(t);
    }
    state.SetLabel(QStringLiteral("%1x%2 WebP").arg(width).arg(height).toStdString());
    state.counters["qt_reader_ms"] = qt / double(state.iterations()) * 1000;
    state.counters["vs_qt_reader"] = ours / qt;
}
BENCHMARK(BM_ReadWebp)
    ->Arg(6000)
    ->Arg(8000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

} // namespace

// kelmo_bench --write-picture PATH FORMAT WIDTH HEIGHT: a noise photograph near magenta, for the
// launch to picture measurement.
int writeNoisePicture(int argc, char** argv) {
    if (argc < 6) {
        return 2;
    }
    return writePicture(noisePhotograph(std::atoi(argv[4]), std::atoi(argv[5]), true),
                        QString::fromLocal8Bit(argv[2]), argv[3])
               ? 0
               : 1;
}

// kelmo_bench --read-peak PATH: reads the picture with our readers alone and prints the peak
// resident memory the read added, against the size of the picture's pixels. The read is made in
// this process: in the reader process the same reader makes the same buffers, but its peak would
// not be this process's.
int readPeak(char** argv) {
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const platform::Picture picture =
        platform::ImageFileLoader(platform::ImageFileLoader::machineLimitMegabytes(),
                                  platform::ReadPlace::InProcess)
            .loadPicture(QString::fromLocal8Bit(argv[2]));
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    const double pixels = double(picture.pixels().sizeInBytes()) / 1024;
    std::printf("%s: peak grew by %.1f MB = %.3f x its %.1f MB of pixels\n", argv[2],
                double(after.ru_maxrss - before.ru_maxrss) / 1024,
                double(after.ru_maxrss - before.ru_maxrss) / pixels, pixels / 1024);
    return 0;
}
