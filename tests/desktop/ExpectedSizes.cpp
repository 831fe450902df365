// SPDX-License-Identifier: MIT
// The outer sizes, in pixels at 15 twips a pixel, that the window's handlers set for the desktop
// test's steps, and the view's size, from the same handlers in-process on a screen of the given
// size: the desktop test checks that the real window, frame included, has them. Usage:
// kelmo_expected_sizes SCREEN_WxH PICTURE SMALL_PICTURE [FOLDER_PICTURE...]
// (each of the last shown as opened, as step folder0, folder1...); prints STEP W H VIEW_W VIEW_H.

#include "platform/Twips.h"
#include "reading/decoders/modules/FormatModule.h"
#include "support/TestSupport.h"

#include <QGuiApplication>
#include <cstdio>

int main(int argc, char** argv) {
    platform::decoders::useLinkedFormats();    // the readers are linked in, not loaded
    platform::ImageFileLoader::startReaders(); // as the program does, before any thread
    const QStringList screen = QString::fromLocal8Bit(argc > 1 ? argv[1] : "").split(u'x');
    if (argc < 4 || screen.size() != 2) {
        std::fprintf(stderr, "usage: %s SCREEN_WxH PICTURE SMALL_PICTURE\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    testing_support::KelmoHarness kelmo(QString::fromLocal8Bit(argv[2]));
    kelmo.screenArea.setAvailablePixels(QSize(screen[0].toInt(), screen[1].toInt()));
    const platform::CoordinateMapper mapper(kelmo.screen);
    const auto print = [&](const char* step) {
        const QSize view = mapper.toPixels(kelmo.model().Image1.rect()).size();
        std::printf("%s %d %d %d %d\n", step, mapper.toPixelsX(kelmo.model().window.Width()),
                    mapper.toPixelsY(kelmo.model().window.Height()), view.width(), view.height());
    };
    kelmo.load();
    print("start");
    kelmo.form().Aumenta_Click();
    print("enlarge");
    kelmo.form().Disminuye_Click();
    kelmo.form().Disminuye_Click();
    print("reduce");
    kelmo.form().Restore_Click();
    print("restore");
    kelmo.prompter.fileAnswers.push_back(QString::fromLocal8Bit(argv[3]));
    kelmo.form().SubMenuAbrir_Click();
    print("open");
    for (int i = 4; i < argc; ++i) {
        kelmo.prompter.fileAnswers.push_back(QString::fromLocal8Bit(argv[i]));
        kelmo.form().SubMenuAbrir_Click();
        print(QByteArray("folder" + QByteArray::number(i - 4)).constData());
    }
    return 0;
}
