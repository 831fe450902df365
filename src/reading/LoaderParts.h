// SPDX-License-Identifier: MIT
#pragma once

// What the loader's files share (ImageFileLoader.cpp, ImageFrames.cpp and the reader-process
// reading of each system, ReaderProcesses*.cpp). Internal to reading/.

#include "decoders/FrameReader.h"
#include "decoders/PictureDecoder.h"
#include "platform/Frames.h"
#include "platform/PlatformError.h"

#include <QFile>
#include <QImage>
#include <QString>
#include <memory>
#include <stop_token>

namespace platform::reading {

// Throws the loader's error for path: "No se pudo abrir el archivo «path»: reason."
[[noreturn]] void refuse(ErrorNumber number, const QString& path, const QString& reason);

// The reading itself, wherever it runs: the reader the content picks, then the finishing step.
QImage readFile(QFile& file, const decoders::DecodeContext& context);

// An animation's frame finished as a picture is.
QImage finishFrame(decoders::AnimationFrame& frame, const decoders::AnimationInfo& info,
                   const decoders::DecodeContext& context);

// Whether this system reads pictures in reader processes at all.
bool readerProcessesHere();

// The frames of the open file read by a frames reader process, or null where there are none.
std::unique_ptr<FrameStream> openReaderFrames(const QFile& file, qint64 maxBytes,
                                              std::stop_token stop);

} // namespace platform::reading
