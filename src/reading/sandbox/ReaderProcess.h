// SPDX-License-Identifier: MIT
#pragma once

// Picture files are read in processes of their own. A small helper is forked at the very start of
// main, before any thread exists; it keeps a reader forked and locked down (LockDown.h) ahead of
// each read, which is then handed only the open file and a reply channel, runs the reader
// function and writes the finished picture into a sealed memory file that the viewer maps
// read-only. A reader that
// crashes, overruns its memory or its time, or is cancelled, ends alone: the read's outcome says
// how. The helper and every reader die with the viewer (parent-death signals, and the helper
// leaves when its channel closes). Only ImageFileLoader uses this.

#include "reading/decoders/PictureDecoder.h"

#include <QImage>
#include <QString>
#include <chrono>
#include <memory>
#include <optional>
#include <stop_token>

namespace platform::sandbox {

// What runs inside the reader: the open file (positioned at its start) and the limits in, the
// finished picture out. It may throw decoders::DecodeFailure, std::bad_alloc, or
// decoders::NeedsApplication (the read is left for later). A plain function, so that the forked
// helper, a copy of this program, can run it.
using ReaderFunction = QImage (*)(int fileDescriptor, const decoders::DecodeContext& context);

struct ReadRequest {
    ReaderFunction function = nullptr;
    qint64 maxBytes = 0; // the picture memory bound
    bool early = false;  // DecodeContext::beforeApplication
    std::chrono::milliseconds timeLimit{std::chrono::minutes(1)};
    // The start-up read again, after the helper loaded the module of the format the early reader
    // found (prepareModuleNow): read now, without waiting for the other modules.
    bool withModule = false;
};

enum class ReadEnd {
    Picture,     // image holds it
    Failure,     // the reader refused the file: reason says why
    OutOfMemory, // the reader ran out of the memory it is allowed
    Later,       // the reader threw NeedsApplication
    Crashed,     // the reader died (a signal, or an exit without a reply)
    TimedOut,    // killed at the time limit
    Cancelled,   // killed because the read was stopped
    NoReader,    // no helper runs in this process, or it died
    Finished,    // a frames reader sent its last frame
};

struct ReadOutcome {
    ReadEnd end = ReadEnd::NoReader;
    QImage image; // maps the reader's memory file, read-only
    QString reason;
    // The guards the reader had, where it replied: Landlock and seccomp (LockDown.h).
    bool landlock = false;
    bool seccomp = false;
    int delayMs = 0;     // a frame's
    int plays = 0;       // a frame's animation's
    int frameCount = -1; // as the animation's file declares it
};

// What the helper loads for its readers at run time, which they could not open once locked down:
// `all` runs once, before any reader but a start-up one is forked, or when the helper has been
// idle for a second; `module` loads one format's module (a name of decoders::formatModules) for
// the start-up read, and says whether it loaded anything. A waiting reader, once locked down,
// warms up by reading decoders::rehearsalPictures() with `rehearsal` (null: it does not) unless
// its read comes first: a fresh process pays a page fault for every page of code and memory a
// read touches, which cost a small picture's read more than the read itself.
struct ReaderPreparation {
    void (*all)();
    bool (*module)(const char* name);
    ReaderFunction rehearsal = nullptr;
};

// Why a reader that could not put its system-call filter in place reads nothing, and the viewer
// takes nothing from one: the reason in the read's message.
inline QString unguardedReaderReason() {
    return QStringLiteral("el lector de imágenes no pudo aislarse (el núcleo no ofrece seccomp)");
}

// Forks the helper. Call first in main, before any thread or the application object exists.
// Returns false where no helper could start (and on Windows).
bool startReaderHelper(ReaderPreparation preparation);
// Has the helper load everything now, for the read an early one left for later.
void prepareReadersNow();
// Has the helper load the module of that name now (a name of decoders::formatModules, else
// nothing happens), for the start-up read of its format.
void prepareModuleNow(const char* module);
// Whether this process reads in reader processes (a helper was started; one that has gone is
// started again for the next read).
bool readerHelperRunning();
// The helper's process id (readers are its children), 0 when none runs.
int readerHelperPid();

// Runs one read in a new reader. Safe on any thread, and reads on different threads run at the
// same time. A stop request kills the reader at once.
ReadOutcome readInReader(int fileDescriptor, const ReadRequest& request, std::stop_token stop);

// The frames of an animation are read by a reader of their own, which stays while they are
// wanted: it sends one finished frame at a time, each in its sealed memory file, and waits,
// holding nothing but its canvas, until the viewer asks for the next. Its limits are those of a
// read, its time limit counts for each frame, and it ends with the last frame, a stop request,
// or the FramesReading that started it.
class FrameSink {
  public:
    virtual ~FrameSink() = default;
    // Hands one finished frame over (its memory may be taken); false when no more are wanted.
    virtual bool put(QImage& frame, int delayMs, int plays, int frameCount) = 0;
};
using FramesFunction = void (*)(int fileDescriptor, const decoders::DecodeContext& context,
                                FrameSink& sink);

struct ArrivedFrame {
    QImage image; // maps the reader's memory file, read-only
    int delayMs = 0;
    int plays = 0;       // the animation's, 0 for ever
    int frameCount = -1; // as its file declares it, -1 unknown
};

class FramesReading {
  public:
    // Starts a frames reader on the file (which it takes a copy of); no frame is read until
    // next() asks.
    FramesReading(int fileDescriptor, FramesFunction function, qint64 maxBytes,
                  std::chrono::milliseconds frameTimeLimit, std::stop_token stop);
    ~FramesReading(); // the reader ends with it
    FramesReading(const FramesReading&) = delete;
    FramesReading& operator=(const FramesReading&) = delete;
    // The next frame, waiting for it; nothing once the animation has ended, or where the reader
    // failed, crashed, overran a limit or was stopped (end() says which).
    std::optional<ArrivedFrame> next();
    // How the reading ended: Picture when the animation ended as its file says (though damage
    // may have cut it short: then earlyEnd() says what the reader found).
    ReadEnd end() const;
    QString earlyEnd() const;

  private:
    struct Reader;
    std::unique_ptr<Reader> reader_;
};

} // namespace platform::sandbox
