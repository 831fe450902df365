// SPDX-License-Identifier: MIT
// Tests run against real widgets on Qt's offscreen platform, so they need no display.

#include "platform/ProcessStart.h"
#include "platform/qt/DesktopIntegration.h"
#include "reading/ImageFileLoader.h"
#include "reading/decoders/modules/FormatModule.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    platform::prepareProcess();
    platform::decoders::useLinkedFormats(); // the readers are linked in, not loaded
    // As the program does: the readers' helper before any thread.
    platform::ImageFileLoader::startReaders();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    // The windows under test are set up as the program sets up its own.
    platform::qt::prepareApplication(application);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
