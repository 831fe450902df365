// SPDX-License-Identifier: MIT
// Windows' own kinds of names: devices and folders are refused without waiting on them, and a
// name in any script reaches the file (UTF-16 throughout); a reading thread ends cleanly.

#include "FailedLoads.h"

#include "reading/ImageFileLoader.h"

#include <QDir>
#include <gtest/gtest.h>
#include <thread>

using testing_support::expectFailedOpen;
using testing_support::expectFailedStartUp;
using testing_support::KelmoHarness;
using testing_support::PictureFiles;

namespace {

TEST(MalformedPictures, DirectoriesAndDevicesAreRefusedWithoutBlocking) {
    PictureFiles files;
    const QString directory = files.path(QStringLiteral("carpeta.bmp"));
    ASSERT_TRUE(QDir().mkpath(directory));
    for (const QString& path :
         {directory, QStringLiteral("NUL"), QStringLiteral("\\\\.\\NUL"), QStringLiteral("CON")}) {
        expectFailedStartUp(path);
        expectFailedOpen(path);
    }
}

TEST(StartUp, NamesInAnyScriptReachTheFile) {
    PictureFiles files;
    for (const char* name : {"mañana árbol.bmp", "фото.bmp", "東京の写真.bmp", "ελληνικά 𝄞.bmp"}) {
        const QString path = files.write(QString::fromUtf8(name), 9, 7);
        KelmoHarness kelmo(path);
        kelmo.load();
        EXPECT_TRUE(kelmo.messages.shown.empty()) << name;
        EXPECT_EQ(kelmo.model().PictureClip.Picture().size(), QSize(9, 7)) << name;
    }
}

// The first picture read by Qt's own readers scans its plug-ins on the reading thread, matching
// "*.dll": that thread ended in a crash.
TEST(Threads, EndAfterReadingWithQtsReaders) {
    QSize size;
    std::thread([&size] {
        platform::ImageFileLoader loader(64, platform::ReadPlace::InProcess);
        size = loader.loadPicture(QStringLiteral(KELMO_TEST_DATA "/degradado.gif")).size();
    }).join();
    EXPECT_FALSE(size.isEmpty());
}

} // namespace
