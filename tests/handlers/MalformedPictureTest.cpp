// SPDX-License-Identifier: MIT
// Every damaged or lying picture, and every file that is no picture at all, gives the program's
// message at start-up and through "Abrir Imagen", changes nothing else, and never crashes or
// hangs.

#include "support/MalformedCorpus.h"
#include "support/TestSupport.h"

#include <QDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using testing_support::KelmoHarness;
using testing_support::PictureFiles;

namespace {

void expectFailedStartUp(const QString& path) {
    KelmoHarness kelmo(path);
    kelmo.load();
    ASSERT_EQ(kelmo.messages.shown.size(), 1u) << path.toStdString();
    EXPECT_EQ(kelmo.messages.shown[0].text,
              QStringLiteral("El archivo no es de un tipo compatible"));
    EXPECT_EQ(kelmo.model().Image1.picture().size(), QSize(256, 256));
    EXPECT_FALSE(kelmo.model().Image1.stretch());
    EXPECT_EQ(kelmo.state().AltoOriginal, 0);
    EXPECT_TRUE(kelmo.model().ImagenPanoramica.picture().isNull());
}

void expectFailedOpen(const QString& path) {
    KelmoHarness kelmo;
    kelmo.load();
    const float width = kelmo.model().window.Width();
    kelmo.prompter.fileAnswers.push_back(path);
    kelmo.form().SubMenuAbrir_Click();
    ASSERT_EQ(kelmo.messages.shown.size(), 1u) << path.toStdString();
    EXPECT_EQ(kelmo.messages.shown[0].text,
              QStringLiteral("Imposible encontrar el archivo ") + path);
    EXPECT_EQ(kelmo.model().Image1.picture().size(), QSize(256, 256));
    EXPECT_EQ(kelmo.model().window.Width(), width);
    EXPECT_EQ(kelmo.model().window.caption(), QStringLiteral("Kelmo"));
    EXPECT_EQ(kelmo.model().ImagenPanoramica.picture().size(), QSize(256, 256));
}

TEST(MalformedPictures, AreRefusedAtStartUpAndOnOpen) {
    PictureFiles files;
    const auto corpus = testing_support::malformedCorpus();
    ASSERT_GE(corpus.size(), 50u);
    for (const auto& file : corpus) {
        const QString path = files.writeText(file.name, file.bytes);
        expectFailedStartUp(path);
        expectFailedOpen(path);
    }
}

TEST(MalformedPictures, ValidSeedsOpen) {
    PictureFiles files;
    for (const auto& file : testing_support::validSeeds()) {
        KelmoHarness kelmo(files.writeText(file.name, file.bytes));
        kelmo.load();
        EXPECT_TRUE(kelmo.messages.shown.empty()) << file.name.toStdString();
    }
}

TEST(MalformedPictures, DirectoriesAndPipesAreRefusedWithoutBlocking) {
    PictureFiles files;
    const QString directory = files.path(QStringLiteral("carpeta.bmp"));
    ASSERT_TRUE(QDir().mkpath(directory));
    const QString fifo = files.path(QStringLiteral("tuberia.bmp"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& path : {directory, fifo}) {
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

} // namespace
