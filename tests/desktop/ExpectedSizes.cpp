// SPDX-License-Identifier: MIT
// The outer sizes, in pixels at 15 twips a pixel, that the window's handlers set for the desktop
// test's steps, from the same handlers in-process: the desktop test checks that the real window,
// frame included, has them. Usage: kelmo_expected_sizes PICTURE SMALL_PICTURE [FOLDER_PICTURE...]
// (each of the last shown as opened, as step folder0, folder1...)

#include "platform/Twips.h"
#include "reading/decoders/modules/FormatModule.h"
#include "support/TestSupport.h"

#include <QGuiApplication>
#include <cstdio>

int main(int argc, char** argv) {
    platform::decoders::useLinkedFormats();    // the readers are linked in, not loaded
    platform::ImageFileLoader::startReaders(); // as the program does, before any thread
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s PICTURE SMALL_PICTURE\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    testing_support::KelmoHarness kelmo(QString::fromLocal8Bit(argv[1]));
    const platform::CoordinateMapper mapper(kelmo.screen);
    const auto print = [&](const char* step) {
        std::printf("%s %d %d\n", step, mapper.toPixelsX(kelmo.model().window.Width()),
                    mapper.toPixelsY(kelmo.model().window.Height()));
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
    kelmo.prompter.fileAnswers.push_back(QString::fromLocal8Bit(argv[2]));
    kelmo.form().SubMenuAbrir_Click();
    print("open");
    for (int i = 3; i < argc; ++i) {
        kelmo.prompter.fileAnswers.push_back(QString::fromLocal8Bit(argv[i]));
        kelmo.form().SubMenuAbrir_Click();
        print(QByteArray("folder" + QByteArray::number(i - 3)).constData());
    }
    return 0;
}
