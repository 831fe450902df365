// SPDX-License-Identifier: MIT
// Files that are no regular file, or that may not be read, on a POSIX system: refused at once,
// never waited on.

#include "FailedLoads.h"
#include "platform/PlatformError.h"
#include "reading/ImageFileLoader.h"

#include <QDir>
#include <QFile>
#include <atomic>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using platform::ErrorNumber;
using platform::ImageFileLoader;
using platform::PlatformError;
using testing_support::expectFailedOpen;
using testing_support::expectFailedStartUp;
using testing_support::PictureFiles;

namespace {

TEST(MalformedPictures, DirectoriesPipesAndDevicesAreRefusedWithoutBlocking) {
    PictureFiles files;
    const QString directory = files.path(QStringLiteral("carpeta.bmp"));
    ASSERT_TRUE(QDir().mkpath(directory));
    const QString fifo = files.path(QStringLiteral("tuberia.bmp"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& path : {directory, fifo, QStringLiteral("/dev/null")}) {
        expectFailedStartUp(path);
        expectFailedOpen(path);
    }
}

TEST(MalformedPictures, UnreadableFileIsRefused) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "root reads a file whatever its permissions say";
    }
    PictureFiles files;
    const QString path = files.write(QStringLiteral("secreto.bmp"), 8, 8);
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0), 0);
    expectFailedStartUp(path);
    expectFailedOpen(path);
}

// A FIFO that takes a picture's place again and again, as another program might swap it in
// between a look at the name and the open, is refused at once and never waited on: the file
// is judged by what was opened. A read that waits all the same is freed by opening the FIFO's
// writing end, and fails the test.
TEST(ImageFileLoader, RefusesAFifoSwappedInWithoutWaitingForAWriter) {
    testing_support::PictureFiles files;
    const QByteArray picture = QFile::encodeName(files.write(QStringLiteral("a.bmp"), 4, 4));
    const QByteArray fifo = QFile::encodeName(files.path(QStringLiteral("tuberia")));
    ASSERT_EQ(mkfifo(fifo.constData(), 0600), 0);
    const auto swap = [&] {
        return renameat2(AT_FDCWD, picture.constData(), AT_FDCWD, fifo.constData(),
                         RENAME_EXCHANGE);
    };
    ASSERT_EQ(swap(), 0);
    std::atomic<bool> swapping = true;
    std::thread swapper([&] {
        while (swapping) {
            swap();
        }
    });
    int read = 0;
    int refused = 0;
    const ImageFileLoader loader(64, platform::ReadPlace::InProcess);
    auto reads = std::async(std::launch::async, [&] {
        // Until both have been seen often: the swaps went on between reads each time.
        for (int i = 0; i < 200000 && std::min(read, refused) < 5000; ++i) {
            try {
                EXPECT_EQ(loader.readPicture(QFile::decodeName(picture)).size(), QSize(4, 4));
                ++read;
            } catch (const PlatformError& error) {
                EXPECT_EQ(error.number(), ErrorNumber::PathAccess);
                ++refused;
            }
        }
    });
    const bool waited = reads.wait_for(std::chrono::minutes(1)) == std::future_status::timeout;
    swapping = false;
    swapper.join();
    while (reads.wait_for(std::chrono::milliseconds(10)) == std::future_status::timeout) {
        for (const QByteArray& name : {picture, fifo}) {
            const int writer = open(name.constData(), O_WRONLY | O_NONBLOCK);
            if (writer >= 0) {
                close(writer);
            }
        }
    }
    reads.get();
    EXPECT_FALSE(waited) << "a read waited for the FIFO's writer";
}

} // namespace
