// SPDX-License-Identifier: MIT
// Writes the fuzzer's seed corpus: valid small pictures of every layout and the malformed ones.

#include "support/MalformedCorpus.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kelmo_seeds FOLDER\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(folder.path());
    auto files = testing_support::validSeeds();
    const auto damaged = testing_support::malformedCorpus();
    files.insert(files.end(), damaged.begin(), damaged.end());
    for (const auto& file : files) {
        QFile out(folder.filePath(file.name));
        if (!out.open(QIODevice::WriteOnly) || out.write(file.bytes) != file.bytes.size()) {
            return 1;
        }
    }
    std::printf("%zu seeds in %s\n", files.size(), argv[1]);
    return 0;
}
