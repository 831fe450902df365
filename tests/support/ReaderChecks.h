// SPDX-License-Identifier: MIT
#pragma once

// What the reader tests share: a file as one reader shows it, and damaged files that reader must
// refuse, each with its own reason.

#include "reading/decoders/PictureDecoder.h"
#include "reading/decoders/PictureFinish.h"
#include "support/TestSupport.h"

#include <QFile>
#include <gtest/gtest.h>
#include <initializer_list>

namespace testing_support {

// A memory bound no test picture reaches.
inline const platform::decoders::DecodeContext roomyContext{qint64(1) << 32};

// The file read by `reader` and finished as the loader finishes it, in a format to compare.
inline QImage shownBy(const platform::decoders::PictureDecoder& reader, const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return platform::decoders::finishPicture(reader.decode(file, roomyContext), roomyContext)
        .convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

struct Refusal {
    const char* name;
    QByteArray bytes;
    const char* reason; // a part of the reason given
};

inline void expectRefusals(const platform::decoders::PictureDecoder& decoder,
                           std::initializer_list<Refusal> cases) {
    PictureFiles files;
    for (const Refusal& c : cases) {
        QFile file(files.writeText(QStringLiteral("roto"), c.bytes));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        try {
            decoder.decode(file, roomyContext);
            ADD_FAILURE() << c.name << " was read";
        } catch (const platform::decoders::DecodeFailure& failure) {
            EXPECT_TRUE(failure.reason().contains(QString::fromUtf8(c.reason)))
                << c.name << ": " << failure.reason().toStdString();
        }
    }
}

} // namespace testing_support
