// SPDX-License-Identifier: MIT
// Going through a folder: from the key press to the next picture painted in the window, for
// 6000 × 4000 photographs with the read ahead finished and without it, and the first move in a
// folder of 10,000 pictures (its listing included).

#include "platform/qt/FormSurface.h"
#include "platform/qt/QtFormWindow.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

int writePhotograph(const char* path); // FormatBench.cpp

namespace {

// A folder of copies of one picture file, named foto00000.jpg and on.
class Folder {
  public:
    Folder(int count, const QString& source) {
        for (int i = 0; i < count; ++i) {
            QFile::copy(source, path(i));
        }
    }
    QString path(int i) const {
        return dir_.filePath(QStringLiteral("foto%1.jpg").arg(i, 5, 10, QLatin1Char('0')));
    }

  private:
    QTemporaryDir dir_;
};

const QString& photograph() {
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString file = dir.filePath(QStringLiteral("foto.jpg"));
        writePhotograph(QFile::encodeName(file).constData());
        return file;
    }();
    return path;
}

const QString& smallPicture() {
    static testing_support::PictureFiles files;
    static const QString path = files.write(QStringLiteral("p.jpg"), 64, 48, "jpeg");
    return path;
}

struct Viewer {
    testing_support::KelmoHarness kelmo;
    platform::qt::QtFormWindow window{kelmo.model().window};

    explicit Viewer(const QString& file) : kelmo(file) {
        kelmo.load();
        window.showForm();
        QApplication::processEvents();
    }
    void settle() {
        while (kelmo.backgroundReader.busy()) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        }
    }
    // The key pressed in the window until the picture it brings is painted, in seconds.
    double press(Qt::Key key) {
        const QString before = kelmo.model().window.caption();
        QElapsedTimer timer;
        timer.start();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(window.surface(), &press);
        while (kelmo.model().window.caption() == before) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        }
        const qint64 shown = timer.nsecsElapsed();
        window.surface()->repaint();
        if (qEnvironmentVariableIsSet("KELMO_BENCH_SPLIT")) {
            std::fprintf(stderr, "handler %.1f ms, paint %.1f ms\n", shown / 1e6,
                         (timer.nsecsElapsed() - shown) / 1e6);
        }
        return double(timer.nsecsElapsed()) / 1e9;
    }
};

// Arg 1: each press once the picture after it has been read ahead; 0: each press to a picture
// not read ahead (Home and End in turn, which read ahead nothing).
void BM_KeyToNextPhotograph(benchmark::State& state) {
    const bool readAhead = state.range(0) == 1;
    static const Folder folder(6, photograph());
    Viewer viewer(folder.path(0));
    viewer.kelmo.form().Form_FirstShown();
    int at = 0;
    for (auto _ : state) {
        viewer.settle();
        if (readAhead && at == 5) {
            viewer.press(Qt::Key_Home); // back to the start, not counted
            viewer.settle();
            at = 0;
        }
        const Qt::Key key = readAhead ? Qt::Key_Right : (at == 0 ? Qt::Key_End : Qt::Key_Home);
        state.SetIterationTime(viewer.press(key));
        at = readAhead ? at + 1 : (at == 0 ? 5 : 0);
    }
    state.SetLabel(readAhead ? "6000x4000 JPEG, read ahead" : "6000x4000 JPEG, not read ahead");
}
BENCHMARK(BM_KeyToNextPhotograph)
    ->Arg(1)
    ->Arg(0)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

// The first Right in a folder of 10,000 small pictures, the folder listed and sorted meanwhile.
void BM_FirstMoveIn10000(benchmark::State& state) {
    static const Folder folder(10000, smallPicture());
    for (auto _ : state) {
        Viewer viewer(folder.path(0));
        state.SetIterationTime(viewer.press(Qt::Key_Right));
        viewer.settle();
    }
}
BENCHMARK(BM_FirstMoveIn10000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
