// SPDX-License-Identifier: MIT
// Kelmo: a picture viewer. The window is built, its Load handler runs before it is first shown,
// and from then on the event loop delivers one user event at a time.

#include "KelmoForm.h"
#include "StartupTrace.h"
#include "platform/ArgumentsCommandLine.h"
#include "platform/BmpFileSaver.h"
#include "platform/GuiClipboard.h"
#include "platform/ProcessStart.h"
#include "platform/qt/DesktopIntegration.h"
#include "platform/qt/FirstPaint.h"
#include "platform/qt/FormSurface.h"
#include "platform/qt/QtFormWindow.h"
#include "platform/qt/QtReadProgress.h"
#include "platform/qt/QtServices.h"
#include "reading/ImageFileLoader.h"
#include "reading/PrefetchingLoader.h"

#include <QApplication>
#include <QThread>

namespace {

#if defined(KELMO_READ_IN_PROCESS)
// The benchmarks' comparison build, which reads every picture in this process.
constexpr platform::ReadPlace readPlace = platform::ReadPlace::InProcess;
#else
constexpr platform::ReadPlace readPlace = platform::ReadPlace::Reader;
#endif

} // namespace

int main(int argc, char** argv) {
    platform::prepareProcess();
#if defined(KELMO_LINKED_FORMATS)
    platform::ImageFileLoader::useLinkedReaders(); // no reader process here: the readers are linked
                                                   // in
#endif
    // Pictures are read in processes forked from a helper made now, while this process is small
    // and has no thread yet.
    if (readPlace == platform::ReadPlace::Reader) {
        platform::ImageFileLoader::startReaders();
    }
    app::StartupTrace trace;
    // What of the picture named on the command line can be read while the toolkit starts is read
    // meanwhile (see PrefetchingLoader.h). Qt takes the first thread that asks for its thread
    // data as the main one: this thread asks first.
    QThread::currentThread();
    platform::ImageFileLoader fileLoader(platform::ImageFileLoader::machineLimitMegabytes(),
                                         readPlace);
    platform::PrefetchingLoader loader(fileLoader);
    // The command-line text as start-up will see it; where it differs, the picture is simply read
    // again.
    loader.prefetch(platform::ArgumentsCommandLine::beforeApplication(argc, argv));
    platform::qt::keepImagePluginsOut(platform::ImageFileLoader::qtPluginLinks());
    QApplication application(argc, argv);
    trace.mark("application");
    platform::qt::prepareApplication(application);
    QApplication::setApplicationName(QStringLiteral("Kelmo"));
    QApplication::setDesktopFileName(QStringLiteral("kelmo"));

    const platform::FixedScreenMetrics screen = platform::qt::primaryScreenMetrics();
    platform::qt::QtScreenArea screenArea;
    platform::BmpFileSaver saver;
    platform::GuiClipboard clipboard;
    platform::qt::QtPrinter printer;
    platform::qt::QtMessageBox messages;
    platform::qt::QtReadProgress progress;
    fileLoader.setProgress(&progress);
    platform::qt::QtDialogPrompter prompter(printer, platform::ImageFileLoader::readablePatterns());
    const platform::ArgumentsCommandLine commandLine =
        platform::ArgumentsCommandLine::fromSystem(QApplication::arguments().mid(1));
    // Pictures read ahead of the person's next move go through the same readers.
    platform::BackgroundReader backgroundReader(platform::readingBeside(fileLoader));
    app::KelmoServices services{loader,     saver,      clipboard,   printer,  messages,
                                screen,     screenArea, commandLine, prompter, backgroundReader,
                                &fileLoader};

    app::KelmoForm form(services);
    platform::qt::QtFormWindow window(form.window());
    prompter.setParent(&window);
    screenArea.setWindow(&window);
    trace.mark("window built");
    // The start-up message, if any, appears before the window does.
    form.window().load();
    trace.mark("loaded");
    messages.setParent(&window);
    progress.setParent(&window);
    // What the first frame does not need comes after it. (Watchers of the same paint run last
    // installed first, so the trace marks the frame before this work begins.)
    platform::qt::afterFirstPaint(window.surface(), [&application, &form] {
        platform::qt::installApplicationIcon(application);
        platform::qt::ensureSpanishTranslations();
        form.Form_FirstShown();
    });
    trace.markFirstPaintOf(window.surface());
    window.showForm();
    return QApplication::exec();
}
