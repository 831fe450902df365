// SPDX-License-Identifier: MIT
#pragma once

// Reader functions for the reader process that behave as a reader taken over by a file might, and
// a progress window that a test answers.

#include "platform/ReadProgress.h"
#include "reading/decoders/PictureDecoder.h"

#include <QStringList>

namespace testing_support {

using platform::decoders::DecodeContext;

QImage crashingReader(int file, const DecodeContext& context);   // SIGSEGV
QImage loopingReader(int file, const DecodeContext& context);    // busy for ever
QImage waitingReader(int file, const DecodeContext& context);    // asleep for ever
QImage allocatingReader(int file, const DecodeContext& context); // memory until refused
// Three quarters of a second, then a 300 × 100 picture.
QImage slowReader(int file, const DecodeContext& context);

class ScriptedProgress : public platform::ReadProgress {
  public:
    explicit ScriptedProgress(bool cancels) : cancels_(cancels) {}
    // Waits for the read, or cancels at once.
    bool showUntil(const QString& fileName, const std::function<bool()>& finished) override;
    QStringList shown;

  private:
    bool cancels_;
};

} // namespace testing_support
