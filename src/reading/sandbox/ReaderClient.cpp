// SPDX-License-Identifier: MIT
// The viewer's side of a read: the request to the helper, the wait, and the checks on what the
// reader sent back.

#include "ReaderChannel.h"
#include "ReaderHelper.h"
#include "ReaderProcess.h"
#include "SharedPixels.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>
#include <optional>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform::sandbox {

namespace {

using Clock = std::chrono::steady_clock;

// Room beside the picture for what a reader needs besides its output (a stored copy being turned
// upright or converted, its libraries' own buffers and its threads' stacks).
constexpr qint64 workingMarginBytes = 256LL * 1024 * 1024;

class Descriptor {
  public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { reset(); }
    void reset(int fd = -1) {
        if (fd_ >= 0) {
            close(fd_);
        }
        fd_ = fd;
    }
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

  private:
    int fd_;
};

bool channelPair(Descriptor& viewerEnd, Descriptor& otherEnd) {
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) {
        return false;
    }
    viewerEnd.reset(ends[0]);
    otherEnd.reset(ends[1]);
    return true;
}

// Says once on standard error which guard this kernel does not give.
void reportMissingGuards(std::uint32_t guards) {
    static std::once_flag landlock, seccomp;
    if ((guards & ReaderReply::Landlock) == 0) {
        std::call_once(landlock, [] {
            std::fputs("kelmo: el núcleo no ofrece Landlock: los lectores de imágenes no tienen "
                       "ese cierre del sistema de archivos\n",
                       stderr);
        });
    }
    if ((guards & ReaderReply::Seccomp) == 0) {
        std::call_once(seccomp, [] {
            std::fputs("kelmo: el núcleo no ofrece seccomp: no se lee ninguna imagen sin el filtro "
                       "de llamadas al sistema de su lector\n",
                       stderr);
        });
    }
}

// The waiting for one reader: its start, its reply or its end, the time limit and the stop
// request.
class ReaderWait {
  public:
    ReaderWait(int status, int reply, std::stop_token stop, std::chrono::milliseconds limit)
        : status_(status), reply_(reply), stop_(std::move(stop)), deadline_(Clock::now() + limit),
          wake_(eventfd(0, EFD_CLOEXEC)), onStop_(stop_, [this] { wakeUp(); }) {}

    // Until the reader has replied (true), or ended or been lost without a reply (false; then
    // endStatus() says how it ended).
    bool untilReplyOrEnd() {
        for (;;) {
            pollfd polled[3] = {{status_, POLLIN, 0},
                                {killed_ ? -1 : wake_.get(), POLLIN, 0},
                                {killed_ || replyClosed_ ? -1 : reply_, POLLIN, 0}};
            const int ready = poll(polled, 3, timeoutMs());
            if (ready < 0 && errno == EINTR) {
                continue;
            }
            if (!killed_ && stop_.stop_requested()) {
                kill(ReadEnd::Cancelled);
            } else if (ready == 0) {
                if (killed_) {
                    return false; // killed, yet no end reported: the helper is stuck
                }
                kill(ReadEnd::TimedOut);
            }
            if ((polled[2].revents & POLLIN) != 0) {
                return true;
            }
            replyClosed_ = replyClosed_ || (polled[2].revents & (POLLHUP | POLLERR)) != 0;
            if ((polled[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0 && !takeNote()) {
                return false;
            }
        }
    }
    // Ends a reader that has replied: whatever it does after its reply no longer counts.
    void endReader() {
        while (!ended_ && !lost_ && pidfd_.get() < 0 && takeNote()) {
        }
        if (!ended_) {
            kill(ReadEnd::Crashed);
        }
    }
    std::optional<int> endStatus() const {
        return ended_ ? std::optional<int>(waitStatus_) : std::nullopt;
    }
    std::optional<ReadEnd> killedFor() const { return killedFor_; }
    // The time limit again, from now (a frames reader's, for each frame).
    void restartClock(std::chrono::milliseconds limit) { deadline_ = Clock::now() + limit; }
    // However the wait ends (a reply, a lost helper, a stop), no reader outlives it.
    ~ReaderWait() {
        if (!ended_) {
            kill(killedFor_.value_or(ReadEnd::Crashed));
        }
    }

  private:
    // Takes the helper's next note; false once the reader has ended or the helper is lost.
    bool takeNote() {
        HelperNote note;
        int pidfd = -1, count = 0;
        if (receiveMessage(status_, &note, sizeof(note), &pidfd, 1, count) <= 0 ||
            note.kind == HelperNote::NotStarted) {
            lost_ = true;
            return false;
        }
        if (note.kind == HelperNote::Ended) {
            ended_ = true;
            waitStatus_ = note.waitStatus;
            return false;
        }
        if (count == 1) {
            pidfd_.reset(pidfd);
            signalIfKilled();
        }
        return true;
    }
    int timeoutMs() const {
        if (killed_) {
            return 10000;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline_ - Clock::now());
        return int(std::max<std::chrono::milliseconds::rep>(0, left.count()));
    }
    void kill(ReadEnd why) {
        killed_ = true;
        killedFor_ = why;
        signalIfKilled();
    }
    void signalIfKilled() {
        if (killed_ && pidfd_.get() >= 0) {
            syscall(SYS_pidfd_send_signal, pidfd_.get(), SIGKILL, nullptr, 0);
        }
    }
    void wakeUp() {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(wake_.get(), &one, sizeof(one));
    }

    int status_;
    int reply_;
    std::stop_token stop_;
    Clock::time_point deadline_;
    Descriptor wake_;
    Descriptor pidfd_;
    bool killed_ = false;
    bool replyClosed_ = false;
    bool ended_ = false;
    bool lost_ = false;
    int waitStatus_ = 0;
    std::optional<ReadEnd> killedFor_;
    std::stop_callback<std::function<void()>> onStop_;
};

ReadOutcome crashed() {
    return {ReadEnd::Crashed, {}, {}, false, false};
}

// What a reader sent back, checked.
ReadOutcome replyOf(int reply, qint64 maxBytes) {
    ReaderReply message;
    int memory[maxPixelFiles], count = 0;
    const long got =
        receiveMessage(reply, &message, sizeof(message), memory, maxPixelFiles, count, false);
    PixelFiles pixels;
    for (int i = 0; i < count; ++i) {
        pixels.add(memory[i]);
    }
    if (got != long(sizeof(message))) {
        return crashed();
    }
    const QString reason = QString::fromUtf8(
        message.reason, std::min<qsizetype>(message.reasonBytes, sizeof(message.reason)));
    ReadOutcome outcome{ReadEnd::Crashed,
                        {},
                        {},
                        (message.guards & ReaderReply::Landlock) != 0,
                        (message.guards & ReaderReply::Seccomp) != 0};
    reportMissingGuards(message.guards);
    if (!outcome.seccomp) { // fail closed: nothing from a reader without its filter
        outcome.end = ReadEnd::Failure;
        outcome.reason = unguardedReaderReason();
        return outcome;
    }
    switch (message.kind) {
    case ReaderReply::Failure:
        outcome.end = ReadEnd::Failure;
        outcome.reason = reason;
        return outcome;
    case ReaderReply::OutOfMemory:
        outcome.end = ReadEnd::OutOfMemory;
        return outcome;
    case ReaderReply::Later:
        outcome.end = ReadEnd::Later;
        outcome.reason = reason; // the module that would let it read now, if any
        return outcome;
    case ReaderReply::Finished:
        outcome.end = ReadEnd::Finished;
        outcome.reason = reason; // the damage that ended it early, if any
        return outcome;
    case ReaderReply::Frame:
        outcome.delayMs = message.delayMs;
        outcome.plays = message.plays;
        outcome.frameCount = message.frameCount;
        break;
    case ReaderReply::Picture:
        break;
    default:
        return outcome;
    }
    const PixelLayout layout{message.width, message.height, message.bytesPerLine,
                             QImage::Format(message.format)};
    outcome.image = mapPixels(std::move(pixels), layout, maxBytes);
    if (!outcome.image.isNull()) {
        outcome.end = ReadEnd::Picture;
    }
    return outcome;
}

std::mutex requests; // one request at a time on the helper's channel

void sendPreparation(const HelperRequest& message) {
    if (const int channel = helperChannelForReads(); channel >= 0) {
        const std::lock_guard<std::mutex> one(requests);
        sendMessage(channel, &message, sizeof(message), nullptr, 0);
    }
}

} // namespace

void prepareReadersNow() {
    sendPreparation(HelperRequest{});
}

void prepareModuleNow(const char* module) {
    HelperRequest message;
    if (std::strlen(module) < sizeof(message.module)) {
        std::strcpy(message.module, module);
        sendPreparation(message);
    }
}

namespace {

// A reader started for one read: the viewer's end of its reply channel and of the helper's
// notes on it.
struct StartedReader {
    Descriptor reply;
    Descriptor status;
};

bool startReader(int fileDescriptor, const HelperRequest& message, StartedReader& started) {
    Descriptor readerReply, helperStatus;
    if (!readerHelperRunning() || !channelPair(started.reply, readerReply) ||
        !channelPair(started.status, helperStatus)) {
        return false;
    }
    const int passed[3] = {fileDescriptor, readerReply.get(), helperStatus.get()};
    // A helper that has gone (the channel is broken) is started again for this read; the read
    // that was under way when it went has failed.
    const std::lock_guard<std::mutex> one(requests);
    const int channel = helperChannelForReads();
    bool sent = channel >= 0 && sendMessage(channel, &message, sizeof(message), passed, 3);
    if (!sent && (channel < 0 || errno == EPIPE || errno == ECONNRESET)) {
        const int again = restartReaderHelper();
        sent = again >= 0 && sendMessage(again, &message, sizeof(message), passed, 3);
    }
    return sent;
}

// How a wait that brought no reply ended.
ReadOutcome withoutReply(const ReaderWait& wait) {
    if (wait.killedFor()) {
        return {*wait.killedFor(), {}, {}, false, false};
    }
    if (!wait.endStatus()) {
        return {ReadEnd::NoReader, {}, {}, false, false};
    }
    // A reader that ended without a reply: a crash, a limit or an exit of its own.
    return crashed();
}

} // namespace

ReadOutcome readInReader(int fileDescriptor, const ReadRequest& request, std::stop_token stop) {
    const HelperRequest message{
        functionOffset(request.function), request.maxBytes,
        request.maxBytes * 2 + workingMarginBytes,
        request.early ? HelperRequest::Early
                      : (request.withModule ? HelperRequest::WithModule : HelperRequest::Now)};
    StartedReader reader;
    if (!startReader(fileDescriptor, message, reader)) {
        return {ReadEnd::NoReader, {}, {}, false, false};
    }
    ReaderWait wait(reader.status.get(), reader.reply.get(), std::move(stop), request.timeLimit);
    if (wait.untilReplyOrEnd()) {
        // The reply counts as soon as it is here and checks out: the reader is ended now
        // rather than waited for.
        ReadOutcome outcome = replyOf(reader.reply.get(), request.maxBytes);
        wait.endReader();
        return outcome;
    }
    return withoutReply(wait);
}

struct FramesReading::Reader {
    StartedReader started;
    std::optional<ReaderWait> wait;
    qint64 maxBytes = 0;
    std::chrono::milliseconds frameTimeLimit{};
    ReadEnd end = ReadEnd::NoReader;
    QString earlyEnd;
    bool asked = false; // a frame has been asked for: the next one must be
    bool over = false;
};

FramesReading::FramesReading(int fileDescriptor, FramesFunction function, qint64 maxBytes,
                             std::chrono::milliseconds frameTimeLimit, std::stop_token stop)
    : reader_(std::make_unique<Reader>()) {
    reader_->maxBytes = maxBytes;
    reader_->frameTimeLimit = frameTimeLimit;
    HelperRequest message{functionOffset(function), maxBytes, maxBytes * 2 + workingMarginBytes,
                          HelperRequest::Now};
    message.frames = 1;
    if (startReader(fileDescriptor, message, reader_->started)) {
        reader_->wait.emplace(reader_->started.status.get(), reader_->started.reply.get(),
                              std::move(stop), frameTimeLimit);
    } else {
        reader_->over = true;
    }
}

FramesReading::~FramesReading() = default;

std::optional<ArrivedFrame> FramesReading::next() {
    Reader& r = *reader_;
    if (r.over) {
        return std::nullopt;
    }
    const int reply = r.started.reply.get();
    if (r.asked) {
        const FrameWanted more = 1;
        if (!sendMessage(reply, &more, sizeof(more))) {
            r.over = true;
            r.end = ReadEnd::Crashed;
            return std::nullopt;
        }
    }
    r.asked = true;
    r.wait->restartClock(r.frameTimeLimit);
    if (!r.wait->untilReplyOrEnd()) {
        r.over = true;
        r.end = withoutReply(*r.wait).end;
        return std::nullopt;
    }
    ReadOutcome outcome = replyOf(reply, r.maxBytes);
    if (outcome.end != ReadEnd::Picture) {
        r.over = true;
        r.end = outcome.end == ReadEnd::Finished ? ReadEnd::Picture : outcome.end;
        r.earlyEnd = outcome.reason;
        r.wait->endReader();
        return std::nullopt;
    }
    return ArrivedFrame{std::move(outcome.image), outcome.delayMs, outcome.plays,
                        outcome.frameCount};
}

ReadEnd FramesReading::end() const {
    return reader_->end;
}

QString FramesReading::earlyEnd() const {
    return reader_->earlyEnd;
}

} // namespace platform::sandbox
