// SPDX-License-Identifier: MIT
// Speed of what users feel: loading, a navigator drag step, a zoom, a save, start-up to the first
// frame. Pictures are made at run time. Ratios against a baseline measured in the same run are
// reported as counters, so the results compare across machines.

#include "app/KelmoForm.h"
#include "platform/ArgumentsCommandLine.h"
#include "platform/BmpFileSaver.h"
#include "platform/GuiClipboard.h"
#include "platform/PictureDrawing.h"
#include "platform/qt/FormSurface.h"
#include "platform/qt/QtFormWindow.h"
#include "platform/qt/QtServices.h"
#include "reading/ImageFileLoader.h"
#include "reading/decoders/modules/FormatModule.h"
#include "support/BmpFiles.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdlib>
#include <map>
#include <string>

namespace {

// Results kept for the ratios of later benchmarks in the same run.
std::map<std::string, double> baseline;

QTemporaryDir& scratch() {
    static QTemporaryDir dir;
    return dir;
}

QString pictureFile(const QString& name, const QByteArray& bytes) {
    const QString path = scratch().filePath(name);
    if (!QFile::exists(path)) {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
    }
    return path;
}

double seconds(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e9;
}

// The physical floor of loading: the file's bytes read into memory, and a buffer of the decoded
// size filled once.
double floorSeconds(const QString& path, QSize decoded) {
    QElapsedTimer timer;
    timer.start();
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    QByteArray bytes = file.readAll();
    QImage buffer(decoded, QImage::Format_RGB32);
    buffer.fill(0);
    benchmark::DoNotOptimize(bytes.data());
    benchmark::DoNotOptimize(buffer.bits());
    return seconds(timer);
}

void loadBenchmark(benchmark::State& state, const QString& path, QSize size) {
    platform::ImageFileLoader loader;
    double floorTotal = 0;
    double loadTotal = 0;
    for (auto _ : state) {
        floorTotal += floorSeconds(path, size);
        QElapsedTimer timer;
        timer.start();
        platform::Picture picture = loader.loadPicture(path);
        benchmark::DoNotOptimize(picture.pixels().constBits());
        const double t = seconds(timer);
        loadTotal += t;
        state.SetIterationTime(t);
    }
    const double n = double(state.iterations());
    state.counters["floor_ms"] = floorTotal / n * 1000;
    state.counters["vs_floor"] = loadTotal / floorTotal;
}

void BM_LoadBmp(benchmark::State& state) {
    const int code = int(state.range(0));
    const int bits = code == 108 ? 8 : code;
    testing_support::BmpLayout layout{bits, std::uint32_t(code == 108 ? 1 : 0)};
    static std::map<int, QString> files;
    if (!files.count(code)) {
        files[code] = pictureFile(QStringLiteral("carga-%1.bmp").arg(code),
                                  testing_support::makeBmp(layout, 6000, 4000));
    }
    state.SetLabel(code == 108 ? "6000x4000 RLE8" : "6000x4000 " + std::to_string(bits) + " bits");
    loadBenchmark(state, files[code], QSize(6000, 4000));
}
BENCHMARK(BM_LoadBmp)
    ->Arg(8)
    ->Arg(24)
    ->Arg(32)
    ->Arg(108)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

void BM_LoadGif(benchmark::State& state) {
    static const QString file =
        pictureFile(QStringLiteral("carga.gif"), testing_support::makeGif(3000, 2000));
    state.SetLabel("3000x2000 GIF");
    loadBenchmark(state, file, QSize(3000, 2000));
}
BENCHMARK(BM_LoadGif)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// Services that do nothing a person would see.
struct Headless {
    platform::FixedScreenMetrics screen{15.0f, 15.0f};
    platform::ImageFileLoader loader;
    platform::BmpFileSaver saver;
    platform::GuiClipboard clipboard;
    platform::qt::QtPrinter printer;
    testing_support::RecordingMessageBox messages;
    testing_support::ScriptedPrompter prompter;
    platform::ArgumentsCommandLine commandLine{QStringList{}};
    platform::BackgroundReader backgroundReader{platform::readingBeside(loader)};
    const platform::FixedScreenArea screenArea;
    app::KelmoServices services{loader, saver,      clipboard,   printer,  messages,
                                screen, screenArea, commandLine, prompter, backgroundReader};
    app::KelmoForm form{services};
    Headless() { form.window().load(); }
};

QImage bigPicture(int megapixels) {
    const int width = int(std::lround(std::sqrt(megapixels * 1e6 * 4.0 / 3.0)));
    const int height = int(std::lround(megapixels * 1e6 / width));
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<quint32*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            line[x] = 0xff000000u | quint32((x * 7) & 0xff) << 16 | quint32((y * 3) & 0xff) << 8;
        }
    }
    return image;
}

// A 1920 × 1080 view showing a 960 × 540 region (twice enlarged) under a focus frame that a drag
// moves back and forth over the panoramic copy.
void BM_DragStep(benchmark::State& state) {
    const int megapixels = int(state.range(0));
    Headless kelmo;
    app::KelmoModel& m = kelmo.form.model();
    const QImage source = bigPicture(megapixels);
    m.PictureClip.setPicture(platform::Picture(source));
    m.Image1.place(1320, 0, 1920 * 15, 1080 * 15);
    m.state.RelPanoramicaX = 1095.0 / (source.width() * 15.0);
    m.state.RelPanoramicaY = 1215.0 / (source.height() * 15.0);
    m.CuadroEnfoque.place(200, 1500, float(960 * 15 * m.state.RelPanoramicaX),
                          float(540 * 15 * m.state.RelPanoramicaY));
    m.CuadroEnfoque.setVisible(true);
    QImage canvas(1920, 1080, QImage::Format_RGB32);
    QPainter painter(&canvas);
    kelmo.form.ImagenPanoramica_MouseDown(1, 0, 100, 100);
    int step = 0;
    for (auto _ : state) {
        const float x = 100.0f + float((step++ % 40) * 5);
        kelmo.form.ImagenPanoramica_MouseMove(1, 0, x, 100);
        platform::drawPicture(painter, m.Image1.picture(), QRectF(0, 0, 1920, 1080),
                              QRectF(0, 0, 1920, 1080));
    }
    state.SetLabel(std::to_string(source.width()) + "x" + std::to_string(source.height()));
}

void BM_UnscaledDraw(benchmark::State& state) {
    const QImage source = bigPicture(4);
    const platform::Picture picture = platform::Picture(source).cut(100, 100, 1920, 1080);
    QImage canvas(1920, 1080, QImage::Format_RGB32);
    QPainter painter(&canvas);
    for (auto _ : state) {
        platform::drawPicture(painter, picture, QRectF(0, 0, 1920, 1080), QRectF(0, 0, 1920, 1080));
    }
}
BENCHMARK(BM_UnscaledDraw)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_DragStep)->Arg(1)->Arg(24)->Arg(100)->Unit(benchmark::kMillisecond)->Repetitions(5);

void BM_Zoom(benchmark::State& state) {
    Headless kelmo;
    app::KelmoModel& m = kelmo.form.model();
    m.PictureClip.setPicture(platform::Picture(bigPicture(24)));
    QImage canvas(256, 256, QImage::Format_RGB32);
    QPainter painter(&canvas);
    for (auto _ : state) {
        kelmo.form.Restore_Click();
        kelmo.form.Image1_MouseDown(1, 0, 300, 300);
        kelmo.form.Image1_MouseMove(1, 0, 2000, 1500);
        kelmo.form.Zoom_Click();
        platform::drawPicture(painter, m.Image1.picture(), QRectF(0, 0, 256, 256),
                              QRectF(0, 0, 256, 256));
    }
}
BENCHMARK(BM_Zoom)->Unit(benchmark::kMillisecond);

void BM_SaveSelection(benchmark::State& state) {
    Headless kelmo;
    app::KelmoModel& m = kelmo.form.model();
    m.PictureClip.setPicture(platform::Picture(bigPicture(24)));
    const QString path = scratch().filePath(QStringLiteral("guardada.bmp"));
    for (auto _ : state) {
        m.Recuadro.place(1320 + 15 * 100, 15 * 100, 4000 * 15, 4000 * 15);
        m.Recuadro.setVisible(true);
        kelmo.prompter.fileAnswers.push_back(path);
        kelmo.form.SaveSelected_Click();
    }
    state.SetBytesProcessed(state.iterations() * 4000LL * 4000 * 3);
}
BENCHMARK(BM_SaveSelection)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_StartupToFirstFrame(benchmark::State& state) {
    for (auto _ : state) {
        Headless kelmo;
        platform::qt::QtFormWindow window(kelmo.form.window());
        window.showForm();
        const QImage frame = window.surface()->grab().toImage();
        benchmark::DoNotOptimize(frame.constBits());
    }
}
BENCHMARK(BM_StartupToFirstFrame)->Unit(benchmark::kMillisecond);

// Not a speed: how even a 1-pixel checkerboard looks reduced three times (0 is perfectly even).
void BM_CheckerboardReducedThreeTimes(benchmark::State& state) {
    QImage board(1800, 1200, QImage::Format_RGB32);
    for (int y = 0; y < board.height(); ++y) {
        for (int x = 0; x < board.width(); ++x) {
            board.setPixel(x, y, (x + y) % 2 ? 0xffffffff : 0xff000000);
        }
    }
    const platform::Picture picture(board);
    QImage view(600, 400, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&view);
        platform::drawPicture(painter, picture, QRectF(0, 0, 600, 400), QRectF(0, 0, 600, 400));
    }
    double sum = 0, squares = 0;
    for (int y = 0; y < view.height(); ++y) {
        for (int x = 0; x < view.width(); ++x) {
            const double g = qGray(view.pixel(x, y));
            sum += g;
            squares += g * g;
        }
    }
    const double n = double(view.width()) * view.height();
    state.counters["gray_stddev"] = std::sqrt(std::max(0.0, squares / n - (sum / n) * (sum / n)));
}
BENCHMARK(BM_CheckerboardReducedThreeTimes)->Unit(benchmark::kMillisecond);

// Ratios between benchmarks of this run, printed after them.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        // Ratios use the median of the repetitions where there are several.
        for (const Run& run : runs) {
            const std::string name = run.run_name.function_name +
                                     (run.run_name.args.empty() ? "" : "/" + run.run_name.args);
            if ((run.run_type == Run::RT_Iteration && !baseline.count(name)) ||
                run.aggregate_name == "median") {
                baseline[name] = run.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const double unscaled = baseline["BM_UnscaledDraw"];
        const double one = baseline["BM_DragStep/1"];
        std::printf("\nratios in this run:\n");
        for (const char* size : {"1", "24", "100"}) {
            const double step = baseline[std::string("BM_DragStep/") + size];
            std::printf("  drag step on %3s MP: %.2f x the 1 MP step, %.2f x one unscaled draw\n",
                        size, one > 0 ? step / one : 0, unscaled > 0 ? step / unscaled : 0);
        }
    }
};

} // namespace

// kelmo_bench --write-bmp PATH WIDTH HEIGHT BITS [RRGGBB]: writes a bitmap for the scripts, in
// the pattern or in one solid colour.
int writeBitmap(int argc, char** argv) {
    if (argc < 6) {
        return 2;
    }
    const int width = std::atoi(argv[3]);
    const int height = std::atoi(argv[4]);
    const int bits = std::atoi(argv[5]);
    QByteArray bytes = testing_support::makeBmp({bits, 0}, width, height);
    if (argc > 6 && bits == 24) {
        const unsigned long rgb = std::strtoul(argv[6], nullptr, 16);
        const int offset = testing_support::bmpParts(bytes).pixelOffset;
        const int stride = ((width * 24 + 31) / 32) * 4;
        for (int y = 0; y < height; ++y) {
            char* row = bytes.data() + offset + qsizetype(y) * stride;
            for (int x = 0; x < width; ++x) {
                row[3 * x] = char(rgb & 0xff);
                row[3 * x + 1] = char((rgb >> 8) & 0xff);
                row[3 * x + 2] = char((rgb >> 16) & 0xff);
            }
        }
    }
    QFile file(QString::fromLocal8Bit(argv[2]));
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? 0 : 1;
}

int writePhotograph(const char* path);        // FormatBench.cpp
int writeNoisePicture(int argc, char** argv); // PngWebpBench.cpp
int readPeak(char** argv);
int readerMargin(int argc, char** argv); // ReaderMarginBench.cpp

int main(int argc, char** argv) {
    platform::decoders::useLinkedFormats();    // the readers are linked in, not loaded
    platform::ImageFileLoader::startReaders(); // as the program does, before any thread
    if (argc > 1 && std::string(argv[1]) == "--write-bmp") {
        return writeBitmap(argc, argv);
    }
    if (argc > 2 && std::string(argv[1]) == "--write-picture") {
        QCoreApplication application(argc, argv);
        return writeNoisePicture(argc, argv);
    }
    if (argc > 2 && std::string(argv[1]) == "--read-peak") {
        QCoreApplication application(argc, argv);
        return readPeak(argv);
    }
    if (argc > 2 && std::string(argv[1]) == "--reader-margin") {
        QCoreApplication application(argc, argv); // Qt's readers are plug-ins
        return readerMargin(argc, argv);
    }
    if (argc > 2 && std::string(argv[1]) == "--write-photograph") {
        QCoreApplication application(argc, argv); // Qt's JPEG writer is a plug-in
        return writePhotograph(argv[2]);
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
