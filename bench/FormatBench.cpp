// SPDX-License-Identifier: MIT
// Speed of the readers people's photographs go through: a 6000 × 4000 baseline JPEG into
// ready-to-draw pixels against Qt's reader alone, and the conversion of a picture with a
// non-sRGB profile against that picture's decode; and the reader process against a read in this
// process. Both sides are measured in the same loop.

#include "reading/ImageFileLoader.h"
#include "reading/decoders/ColourToSrgb.h"
#include "reading/decoders/JpegDecoder.h"
#include "support/BmpFiles.h"
#include "support/PictureEncoders.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <numeric>
#include <thread>
#include <vector>

namespace {

double secondsOf(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e9;
}

// Smooth light and colour with fine grain, which costs a JPEG reader about what a photograph
// does; `magenta` keeps every pixel near magenta, for the launch probe.
QImage photograph(bool magenta = false) {
    QImage image(6000, 4000, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int grain = int(random.bounded(24u));
            row[x] = magenta ? qRgb(255 - grain, grain, 255 - (x / 600 + grain))
                             : qRgb((x / 24 + grain) & 0xff, (y / 16 + grain) & 0xff,
                                    ((x + y) / 40) & 0xff);
        }
    }
    return image;
}

// A photograph file, upright or with EXIF orientation 6 (taken holding the phone upright).
const QString& photographFile(int orientation) {
    static QTemporaryDir dir;
    static std::map<int, QString> files;
    if (!files.count(orientation)) {
        static const QByteArray upright = [] {
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            QImageWriter writer(&buffer, "jpeg");
            writer.setQuality(90);
            writer.write(photograph());
            return bytes;
        }();
        const QByteArray exif =
            "Exif" + QByteArray(2, '\0') + testing_support::exifBlock(orientation);
        QByteArray app1("\xff\xe1");
        app1 += char((exif.size() + 2) >> 8);
        app1 += char((exif.size() + 2) & 0xff);
        const QString path = dir.filePath(QStringLiteral("foto-%1.jpg").arg(orientation));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(upright.left(2) + app1 + exif + upright.mid(2));
        files[orientation] = path;
    }
    return files[orientation];
}

double qtReaderSeconds(const QString& path) {
    QElapsedTimer timer;
    timer.start();
    QImageReader reader(path, "jpeg");
    reader.setAutoTransform(false);
    QImage image = reader.read();
    image.convertTo(QImage::Format_RGB32);
    benchmark::DoNotOptimize(image.constBits());
    return secondsOf(timer);
}

void BM_LoadJpegPhotograph(benchmark::State& state) {
    const int orientation = int(state.range(0));
    const QString& path = photographFile(orientation);
    platform::ImageFileLoader loader;
    double qt = 0;
    double ours = 0;
    for (auto _ : state) {
        qt += qtReaderSeconds(path);
        QElapsedTimer timer;
        timer.start();
        const platform::Picture picture = loader.loadPicture(path);
        benchmark::DoNotOptimize(picture.pixels().constBits());
        const double t = secondsOf(timer);
        ours += t;
        state.SetIterationTime(t);
    }
    state.SetLabel(orientation == 1 ? "6000x4000 JPEG" : "6000x4000 JPEG, EXIF orientation 6");
    state.counters["qt_reader_ms"] = qt / double(state.iterations()) * 1000;
    state.counters["vs_qt_reader"] = ours / qt;
}
BENCHMARK(BM_LoadJpegPhotograph)
    ->Arg(1)
    ->Arg(6)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

// A picture read in its locked-down reader process (the pixels handed over in a memory file)
// against the same read in this process: 0, a 256 × 256 bitmap; 1, a 6000 × 4000 bitmap; 2, the
// 6000 × 4000 JPEG photograph. The two take turns in the loop, each turn after a pause: a read
// comes after a dialog, a key press or a launch, by when the helper has its next reader waiting
// (making one takes 2 to 12 ms, which reads back to back would wait for).
void BM_ReaderProcessVsInProcess(benchmark::State& state) {
    static QTemporaryDir dir;
    const int which = int(state.range(0));
    QString path = photographFile(1);
    if (which < 2) {
        const int side = which == 0 ? 256 : 6000;
        path = dir.filePath(QStringLiteral("lectura-%1.bmp").arg(side));
        if (!QFile::exists(path)) {
            QFile file(path);
            file.open(QIODevice::WriteOnly);
            file.write(testing_support::makeBmp({24}, side, which == 0 ? 256 : 4000));
        }
    }
    const platform::ImageFileLoader inReader;
    const platform::ImageFileLoader inProcess(platform::ImageFileLoader::machineLimitMegabytes(),
                                              platform::ReadPlace::InProcess);
    std::vector<double> here, there; // seconds, a read each
    for (auto _ : state) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        QElapsedTimer timer;
        timer.start();
        benchmark::DoNotOptimize(inProcess.readPicture(path).pixels().constBits());
        here.push_back(secondsOf(timer));
        timer.restart();
        const platform::Picture picture = inReader.readPicture(path);
        benchmark::DoNotOptimize(picture.pixels().constBits());
        there.push_back(secondsOf(timer));
        state.SetIterationTime(there.back());
    }
    const char* labels[] = {"256x256 bitmap", "6000x4000 bitmap", "6000x4000 JPEG"};
    state.SetLabel(labels[which]);
    const auto sum = [](const std::vector<double>& v) {
        return std::accumulate(v.begin(), v.end(), 0.0);
    };
    const auto median = [](std::vector<double> v) {
        std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(v.size() / 2), v.end());
        return v[v.size() / 2];
    };
    const double n = double(state.iterations());
    state.counters["in_process_ms"] = sum(here) / n * 1000;
    state.counters["extra_ms"] = (sum(there) - sum(here)) / n * 1000;
    state.counters["vs_in_process"] = sum(there) / sum(here);
    // The medians, which a machine's passing hiccups do not move.
    state.counters["median_extra_ms"] = (median(there) - median(here)) * 1000;
    state.counters["median_vs_in_process"] = median(there) / median(here);
}
BENCHMARK(BM_ReaderProcessVsInProcess)
    ->DenseRange(0, 2)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(15);

// The conversion to sRGB of the decoded photograph, tagged Display P3 (range 1) or untagged
// (range 0), against the decode itself.
void BM_ColourConversion(benchmark::State& state) {
    const bool tagged = state.range(0) != 0;
    const QByteArray profile = tagged ? testing_support::displayP3Profile() : QByteArray();
    const platform::decoders::JpegDecoder jpeg;
    const platform::decoders::DecodeContext context{qint64(1) << 34};
    double decoding = 0;
    double converting = 0;
    for (auto _ : state) {
        QFile file(photographFile(1));
        file.open(QIODevice::ReadOnly);
        QElapsedTimer timer;
        timer.start();
        platform::decoders::Decoded decoded = jpeg.decode(file, context);
        decoding += secondsOf(timer);
        decoded.iccProfile = profile;
        timer.restart();
        platform::decoders::convertToSrgb(decoded);
        benchmark::DoNotOptimize(decoded.image.constBits());
        const double t = secondsOf(timer);
        converting += t;
        state.SetIterationTime(t);
    }
    state.SetLabel(tagged ? "6000x4000 Display P3 to sRGB" : "6000x4000 untagged");
    state.counters["decode_ms"] = decoding / double(state.iterations()) * 1000;
    state.counters["vs_decode"] = converting / decoding;
}
BENCHMARK(BM_ColourConversion)
    ->Arg(1)
    ->Arg(0)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

} // namespace

// kelmo_bench --write-photograph PATH: a 6000 × 4000 baseline JPEG near magenta, for the launch
// to picture measurement.
int writePhotograph(const char* path) {
    QImageWriter writer(QString::fromLocal8Bit(path), "jpeg");
    writer.setQuality(90);
    return writer.write(photograph(true)) ? 0 : 1;
}
