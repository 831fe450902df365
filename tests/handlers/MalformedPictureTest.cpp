// SPDX-License-Identifier: MIT
// Every damaged or lying picture, and every file that is no picture at all, gives the program's
// message at start-up and through "Abrir Imagen", changes nothing else, and never crashes or
// hangs.

#include "FailedLoads.h"
#include "support/MalformedCorpus.h"
#include "support/TestSupport.h"

#include <QDir>
#include <gtest/gtest.h>

using testing_support::expectFailedOpen;
using testing_support::expectFailedStartUp;
using testing_support::KelmoHarness;
using testing_support::PictureFiles;

namespace {

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

} // namespace
