// SPDX-License-Identifier: MIT
// Replays every input that ever crashed the fuzzer, and the seeds it starts from, through the
// same scenario.

#include "fuzz/FuzzScenario.h"
#include "support/MalformedCorpus.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

TEST(FuzzRegressions, ReplayWithoutFault) {
    const QDir folder(QStringLiteral(KELMO_FUZZ_REGRESSIONS));
    int replayed = 0;
    for (const QString& name : folder.entryList(QDir::Files)) {
        if (name.startsWith(QLatin1Char('.'))) {
            continue;
        }
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        fuzzing::runScenario(file.readAll());
        ++replayed;
    }
    for (const auto& seed : testing_support::validSeeds()) {
        fuzzing::runScenario(seed.bytes);
        ++replayed;
    }
    for (const auto& damaged : testing_support::malformedCorpus()) {
        fuzzing::runScenario(damaged.bytes);
        ++replayed;
    }
    EXPECT_GT(replayed, 60);
}

} // namespace
