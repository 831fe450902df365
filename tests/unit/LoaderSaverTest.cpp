// SPDX-License-Identifier: MIT
#include "platform/PlatformError.h"
#include "reading/ImageFileLoader.h"
#include "reading/PrefetchingLoader.h"
#include "reading/decoders/modules/FormatModule.h"
#include "support/PictureEncoders.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <future>
#include <gtest/gtest.h>
#include <thread>

using platform::ErrorNumber;
using platform::ImageFileLoader;
using platform::PlatformError;

namespace {

ErrorNumber loadError(platform::PictureLoader& loader, const QString& path) {
    try {
        loader.loadPicture(path);
    } catch (const PlatformError& error) {
        EXPECT_TRUE(error.description().contains(QDir::toNativeSeparators(path)))
            << error.description().toStdString();
        return error.number();
    }
    return ErrorNumber::None;
}

TEST(ImageFileLoader, ReadsTheFormatsOfTheDialogFilterAndTheAllowedOthers) {
    testing_support::PictureFiles files;
    ImageFileLoader loader;
    const struct {
        const char* name;
        const char* format;
    } cases[] = {{"a.bmp", "bmp"},
                 {"a.ico", "ico"},
                 {"a.png", "png"},
                 {"a.jpg", "jpeg"},
                 {"sin-extension", "bmp"}};
    for (const auto& c : cases) {
        const QString path = files.write(QString::fromUtf8(c.name), 32, 24, c.format);
        const platform::Picture picture = loader.loadPicture(path);
        EXPECT_EQ(picture.size(), QSize(32, 24)) << c.name;
        // Converted once, at load, to a format the raster engine draws without converting.
        const QImage::Format format = picture.pixels().format();
        EXPECT_TRUE(format == QImage::Format_RGB32 || format == QImage::Format_ARGB32_Premultiplied)
            << c.name;
    }
    // Qt writes no GIF: this one was made by another program.
    EXPECT_EQ(loader.loadPicture(QStringLiteral(KELMO_TEST_DATA "/degradado.gif")).size(),
              QSize(32, 24));
}

TEST(ImageFileLoader, RefusesWhatIsNotAnAllowedPicture) {
    testing_support::PictureFiles files;
    ImageFileLoader loader;
    const QString tga = QStringLiteral(KELMO_TEST_DATA "/verde.tga");
    const struct {
        QString path;
        ErrorNumber error;
    } cases[] = {
        {files.path(QStringLiteral("no-existe.bmp")), ErrorNumber::FileNotFound},
        {files.writeText(QStringLiteral("texto.bmp"), "esto no es una imagen\n"),
         ErrorNumber::InvalidPicture},
        {files.writeText(QStringLiteral("vacio.bmp"), ""), ErrorNumber::InvalidPicture},
        {files.writeText(QStringLiteral("cortado.bmp"), QByteArray("BM\x36\x00\x00\x00", 6)),
         ErrorNumber::InvalidPicture},
        {QDir::tempPath(), ErrorNumber::PathAccess},
        {tga, ErrorNumber::InvalidPicture},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(loadError(loader, c.path), c.error) << c.path.toStdString();
    }
}

TEST(ImageFileLoader, BoundsDecodedSizeByTheMachinesMemoryNotQtsDefault) {
    EXPECT_GT(ImageFileLoader::machineLimitMegabytes(), 128);
    EXPECT_FALSE(ImageFileLoader::allowedFormats().contains("icns"));
    EXPECT_FALSE(ImageFileLoader::allowedFormats().contains("tga"));
}

TEST(StartupPicture, IsAn8BitPaletteBitmapOf256By256) {
    QFile file(QStringLiteral(":/kelmo/inicio.bmp"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_EQ(bytes.size(), 66614);
    EXPECT_TRUE(bytes.startsWith("BM"));
    EXPECT_EQ(bytes[28], 8); // bits per pixel
    ImageFileLoader loader;
    EXPECT_EQ(loader.loadPicture(QStringLiteral(":/kelmo/inicio.bmp")).size(), QSize(256, 256));
}

} // namespace

namespace {

TEST(PrefetchingLoader, HandsOverThePictureOrTheErrorItReadAhead) {
    testing_support::PictureFiles files;
    const QString good = files.write(QStringLiteral("pronto.bmp"), 33, 22);
    const QString other = files.write(QStringLiteral("otro.bmp"), 5, 6);
    ImageFileLoader reader;
    {
        platform::PrefetchingLoader loader(reader);
        loader.prefetch(good);
        EXPECT_EQ(loader.loadPicture(good).size(), QSize(33, 22));
        EXPECT_EQ(loader.loadPicture(other).size(), QSize(5, 6));
        EXPECT_EQ(loader.loadPicture(good).size(), QSize(33, 22)); // read again, normally
    }
    platform::PrefetchingLoader failing(reader);
    const QString missing = files.path(QStringLiteral("falta.bmp"));
    failing.prefetch(missing);
    EXPECT_EQ(loadError(failing, missing), ErrorNumber::FileNotFound);
}

// Before the application object exists, a reader process reads every format whose reader is
// ours (the helper loads that format's module alone for it), and leaves Qt's own formats to the
// load; a read in this process reads only bitmaps. The load must give the picture either way.
TEST(PrefetchingLoader, ReadsEarlyWhatNeedsNoToolkit) {
    testing_support::PictureFiles files;
    const struct {
        const char* name;
        const char* format;
        platform::ReadPlace place;
        bool early;
    } cases[] = {
        {"antes.bmp", "bmp", platform::ReadPlace::Reader, true},
        {"antes.png", "png", platform::ReadPlace::Reader, true},
        {"antes.jpg", "jpeg", platform::ReadPlace::Reader, true},
        {"p3.jpg", nullptr, platform::ReadPlace::Reader, true},
        {"despues.ppm", "ppm", platform::ReadPlace::Reader, false},
        {"aqui.bmp", "bmp", platform::ReadPlace::InProcess, true},
        {"despues.png", "png", platform::ReadPlace::InProcess, false},
    };
    // A photograph tagged Display P3: read early, it is converted as it is later.
    QImage tagged = testing_support::patternImage(12, 7);
    tagged.setColorSpace(QColorSpace::fromIccProfile(testing_support::displayP3Profile()));
    tagged.save(files.path(QStringLiteral("p3.jpg")), "jpeg");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = c.format == nullptr
                                 ? files.path(QString::fromLatin1(c.name))
                                 : files.write(QString::fromLatin1(c.name), 12, 7, c.format);
        ImageFileLoader reader(ImageFileLoader::machineLimitMegabytes(), c.place);
        if (reader.place() != c.place) {
            continue; // no reader process here
        }
        const std::optional<platform::Picture> early = reader.readEarly(path);
        EXPECT_EQ(early.has_value(), c.early);
        if (early) {
            EXPECT_EQ(early->pixels(), reader.readPicture(path).pixels());
        }
        platform::PrefetchingLoader loader(reader);
        loader.prefetch(path);
        EXPECT_EQ(loader.loadPicture(path).size(), QSize(12, 7));
    }
}

// Cancelled, a read ends refused wherever it runs: a read in this process, which cannot be
// interrupted, must not hand over its picture once it is done.
TEST(ImageFileLoader, ACancelledReadGivesNoPicture) {
    testing_support::PictureFiles files;
    const QString path = files.write(QStringLiteral("cancelada.bmp"), 3, 2);
    std::stop_source stop;
    stop.request_stop();
    for (const platform::ReadPlace place :
         {platform::ReadPlace::Reader, platform::ReadPlace::InProcess}) {
        const ImageFileLoader loader(64, place);
        try {
            loader.readPicture(path, stop.get_token());
            ADD_FAILURE() << "read, place " << int(place);
        } catch (const PlatformError& error) {
            EXPECT_EQ(error.number(), ErrorNumber::DialogCancelled) << int(place);
        }
    }
}

// What a reader answers is not trusted: only the name of one of our modules has the helper load
// anything, and a start-up read is asked again once at most.
QImage laterEveryTime(int, const platform::decoders::DecodeContext&) {
    throw platform::decoders::NeedsApplication{"jpeg"};
}

TEST(PrefetchingLoader, TakesOnlyOurModulesFromAReaderAndAsksAgainOnce) {
    for (const char* name : {"jpeg", "png", "webp", "gif", "avif", "heif", "jxl", "colour"}) {
        EXPECT_STREQ(platform::decoders::formatModuleNamed(name), name);
    }
    for (const char* name : {"", "jpe", "jpegx", "../jpeg", "/tmp/x", "JPEG", "bmp", "ico"}) {
        EXPECT_EQ(platform::decoders::formatModuleNamed(name), nullptr) << name;
    }
    testing_support::PictureFiles files;
    ImageFileLoader reader;
    reader.setReaderFunction(laterEveryTime);
    if (reader.place() == platform::ReadPlace::Reader) { // where there is a reader process
        EXPECT_FALSE(reader.readEarly(files.write(QStringLiteral("otra.bmp"), 3, 2)).has_value());
    }
}

} // namespace
