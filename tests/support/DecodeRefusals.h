// SPDX-License-Identifier: MIT
#pragma once

// Damaged files handed to one reader, each of which must be refused with its own reason.

#include "platform/decoders/PictureDecoder.h"
#include "support/TestSupport.h"

#include <QFile>
#include <gtest/gtest.h>
#include <initializer_list>

namespace testing_support {

struct Refusal {
    const char* name;
    QByteArray bytes;
    const char* reason; // a part of the reason given
};

inline void expectRefusals(const platform::decoders::PictureDecoder& decoder,
                           const platform::decoders::DecodeContext& context,
                           std::initializer_list<Refusal> cases) {
    PictureFiles files;
    for (const Refusal& c : cases) {
        QFile file(files.writeText(QStringLiteral("roto"), c.bytes));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        try {
            decoder.decode(file, context);
            ADD_FAILURE() << c.name << " was read";
        } catch (const platform::decoders::DecodeFailure& failure) {
            EXPECT_TRUE(failure.reason().contains(QString::fromUtf8(c.reason)))
                << c.name << ": " << failure.reason().toStdString();
        }
    }
}

} // namespace testing_support
