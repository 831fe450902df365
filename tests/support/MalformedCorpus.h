// SPDX-License-Identifier: MIT
#pragma once

// Damaged and lying pictures of every format the dialog names, and valid small ones to start a
// fuzzer from. Made in memory, so nothing large sits in the repository.

#include <QByteArray>
#include <QString>
#include <vector>

namespace testing_support {

struct CorpusFile {
    QString name; // with the extension the file is written under
    QByteArray bytes;
};

std::vector<CorpusFile> malformedCorpus();
std::vector<CorpusFile> validSeeds();

} // namespace testing_support
