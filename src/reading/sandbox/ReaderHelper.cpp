// SPDX-License-Identifier: MIT
// The helper process and the readers it forks.

#include "ReaderHelper.h"
#include "LockDown.h"
#include "ReaderChannel.h"
#include "ReaderProcess.h"
#include "SharedPixels.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <new>
#include <poll.h>
#include <string>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace platform::sandbox {

namespace {

// The viewer's end of the channel, and the helper; written before any thread exists, and again
// under the requests' lock when a helper is started again.
std::atomic<int> helperChannel = -1;
std::atomic<int> helperProcess = 0;
std::atomic<bool> helperStarted = false;

// The descriptors this process holds, as /proc lists them; empty where it cannot be read.
std::vector<int> openDescriptors() {
    std::vector<int> open;
    DIR* listing = opendir("/proc/self/fd");
    if (listing == nullptr) { // no /proc here: each number up to the limit is asked
        rlimit files{};
        getrlimit(RLIMIT_NOFILE, &files);
        const int top = int(std::min<rlim_t>(files.rlim_cur, 1 << 16));
        for (int fd = 0; fd < top; ++fd) {
            if (fcntl(fd, F_GETFD) != -1) {
                open.push_back(fd);
            }
        }
        return open;
    }
    const int own = dirfd(listing);
    while (const dirent* entry = readdir(listing)) {
        const int fd = std::atoi(entry->d_name);
        if (entry->d_name[0] != '.' && fd != own) {
            open.push_back(fd);
        }
    }
    closedir(listing);
    return open;
}

// Closes every descriptor but the ones kept; false, for the caller to give up, where anything
// else is left open (a terminal the helper was started with, say). close_range is missing from
// kernels before 5.9 and refused by some containers' profiles: then each is closed by itself.
bool closeAllBut(std::vector<int> kept) {
    std::sort(kept.begin(), kept.end());
    unsigned first = 0;
    bool closed = true;
    for (const int fd : kept) {
        if (unsigned(fd) > first) {
            closed = closed && syscall(SYS_close_range, first, unsigned(fd) - 1, 0) == 0;
        }
        first = unsigned(fd) + 1;
    }
    closed = closed && syscall(SYS_close_range, first, ~0U, 0) == 0;
    const auto isKept = [&kept](int fd) {
        return std::binary_search(kept.begin(), kept.end(), fd);
    };
    if (!closed) {
        for (const int fd : openDescriptors()) {
            if (!isKept(fd)) {
                close(fd);
            }
        }
    }
    const std::vector<int> left = openDescriptors();
    return !left.empty() && std::all_of(left.begin(), left.end(), isKept);
}

void sendReply(int reply, ReaderReply& message, const PixelFiles& pixels = {}) {
    sendMessage(reply, &message, sizeof(message), pixels.data(), pixels.count());
}

void replyWithReason(int reply, ReaderReply& message, ReaderReply::Kind kind,
                     const QString& reason) {
    message.kind = kind;
    const QByteArray text = reason.toUtf8().left(sizeof(message.reason));
    std::memcpy(message.reason, text.constData(), std::size_t(text.size()));
    message.reasonBytes = std::uint32_t(text.size());
    sendReply(reply, message);
}

// What the reader had mapped before its read: its limit less the allowance the helper gave it
// (0 where no limit was set).
std::int64_t memoryBase(const HelperRequest& request) {
    rlimit memory{};
    if (request.memoryBytes <= 0 || !memoryBoundApplies() || getrlimit(RLIMIT_AS, &memory) != 0 ||
        memory.rlim_cur == RLIM_INFINITY) {
        return 0;
    }
    return std::max<std::int64_t>(std::int64_t(memory.rlim_cur) - request.memoryBytes, 0);
}

// Hands each frame to the viewer and waits for it to ask for the next.
class FrameReplies : public FrameSink {
  public:
    FrameReplies(int reply, ReaderReply& message, SharedPixels& pixels)
        : reply_(reply), message_(message), pixels_(pixels) {}
    bool put(QImage& frame, int delayMs, int plays, int frameCount) override {
        PixelLayout layout;
        const PixelFiles memory = pixels_.handOver(frame, layout);
        if (memory.count() == 0) {
            throw std::bad_alloc();
        }
        message_.kind = ReaderReply::Frame;
        message_.width = layout.width;
        message_.height = layout.height;
        message_.bytesPerLine = layout.bytesPerLine;
        message_.format = int(layout.format);
        message_.delayMs = delayMs;
        message_.plays = plays;
        message_.frameCount = frameCount;
        sendReply(reply_, message_, memory);
        ++sent_;
        FrameWanted wanted = 0;
        ssize_t got;
        do {
            got = read(reply_, &wanted, sizeof(wanted));
        } while (got < 0 && errno == EINTR);
        return got == ssize_t(sizeof(wanted)) && wanted != 0;
    }
    int sent() const { return sent_; }

  private:
    int reply_;
    ReaderReply& message_;
    SharedPixels& pixels_;
    int sent_ = 0;
};

// A frames reader: the frames until the last, or until the viewer wants no more. Damage after
// the first frame ends the animation on the last good one; before it, the read has failed.
void runFrames(const HelperRequest& request, int file, int reply, ReaderReply& message) {
    SharedPixels pixels(memoryBase(request));
    const decoders::DecodeContext context{request.maxBytes, false, &pixels};
    FrameReplies replies(reply, message, pixels);
    try {
        framesFunctionAt(request.function)(file, context, replies);
        message.kind = ReaderReply::Finished;
        sendReply(reply, message);
    } catch (const decoders::DecodeFailure& failure) {
        replyWithReason(reply, message,
                        replies.sent() > 0 ? ReaderReply::Finished : ReaderReply::Failure,
                        failure.reason());
    } catch (const decoders::NeedsApplication&) {
        replyWithReason(reply, message, ReaderReply::Failure, {});
    } catch (const std::bad_alloc&) {
        replyWithReason(reply, message, ReaderReply::OutOfMemory, {});
    }
}

void runFunction(const HelperRequest& request, int file, int reply, ReaderReply& message) {
    if (request.frames != 0) {
        runFrames(request, file, reply, message);
        return;
    }
    SharedPixels pixels(memoryBase(request));
    const decoders::DecodeContext context{request.maxBytes, request.when == HelperRequest::Early,
                                          &pixels};
    try {
        QImage picture = functionAt(request.function)(file, context);
        PixelLayout layout;
        const PixelFiles memory =
            picture.isNull() ? PixelFiles() : pixels.handOver(picture, layout);
        if (memory.count() == 0) {
            replyWithReason(reply, message, ReaderReply::OutOfMemory, {});
            return;
        }
        message.kind = ReaderReply::Picture;
        message.width = layout.width;
        message.height = layout.height;
        message.bytesPerLine = layout.bytesPerLine;
        message.format = int(layout.format);
        sendReply(reply, message, memory);
    } catch (const decoders::DecodeFailure& failure) {
        replyWithReason(reply, message, ReaderReply::Failure, failure.reason());
    } catch (const decoders::NeedsApplication& later) {
        replyWithReason(reply, message, ReaderReply::Later,
                        QString::fromLatin1(later.module != nullptr ? later.module : ""));
    } catch (const std::bad_alloc&) {
        replyWithReason(reply, message, ReaderReply::OutOfMemory, {});
    }
}

bool requestWaiting(int channel) {
    pollfd request{channel, POLLIN, 0};
    return poll(&request, 1, 0) != 0;
}

// Reads our own small pictures as the spare's read will read its file, each from a memory file
// of its own, and lets go of everything; stops as soon as the request is there.
void rehearse(ReaderFunction reader, int channel) {
    for (const QByteArray& bytes : decoders::rehearsalPictures()) {
        if (requestWaiting(channel)) {
            return;
        }
        const int file = memfd_create("kelmo-rehearsal", MFD_CLOEXEC);
        if (file < 0) {
            return;
        }
        if (write(file, bytes.constData(), std::size_t(bytes.size())) == bytes.size() &&
            lseek(file, 0, SEEK_SET) == 0) {
            SharedPixels pixels;
            const decoders::DecodeContext context{qint64(1) << 20, false, &pixels};
            try {
                QImage picture = reader(file, context);
                PixelLayout layout;
                const PixelFiles handed =
                    picture.isNull() ? PixelFiles() : pixels.handOver(picture, layout);
            } catch (...) {
                // a format whose module is not loaded yet
            }
        }
        close(file);
    }
}

// What a spare does while it waits, so that its read finds made what a fresh process would make
// page by page: a read's working buffers (a file's rows, a band of pixels) come from a heap
// whose first megabyte is made now and kept, instead of fresh mappings, and the read's code and
// data are touched by reading our own pictures. A 256 × 256 bitmap's read in the reader took
// 8 ms without, 2 ms with, on a machine whose page faults cost ten times the usual.
void warmUp(ReaderFunction rehearsal, int channel) {
    constexpr int heapBytes = 1 << 20;
    mallopt(M_MMAP_THRESHOLD, 4 * heapBytes);
    mallopt(M_TRIM_THRESHOLD, 8 * heapBytes);
    if (requestWaiting(channel)) {
        return;
    }
    if (auto* heap = static_cast<char*>(std::malloc(heapBytes))) {
        for (int at = 0; at < heapBytes; at += 4096) {
            static_cast<volatile char*>(heap)[at] = 0;
        }
        // The kernel's own copies out of and into it too (a read's file rows, its rows put into
        // the memory files): on the development machine, a virtual one, the kernel's first access
        // to each page cost as much again, 0.5 to 0.7 ms of a 256 × 256 bitmap's read.
        const int file = memfd_create("kelmo-warm-up", MFD_CLOEXEC);
        if (file >= 0) {
            [[maybe_unused]] ssize_t done = pwrite(file, heap, heapBytes, 0);
            done = pread(file, heap, heapBytes, 0);
            close(file);
        }
        std::free(heap);
    }
    rehearse(rehearsal, channel);
}

// A spare reader: forked and locked down ahead of its read, it waits on its channel to the helper
// for the request with the file and the reply end, then closes that channel, so that it holds
// only the two while it reads. Its address-space limit is set by the helper with the request.
[[noreturn]] void runSpare(int channel, pid_t helper, ReaderFunction rehearsal) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != helper) {
        _exit(1);
    }
    std::vector<int> kept{channel};
    if (sanitizerBuild()) {
        kept.push_back(STDERR_FILENO);
    }
    LockDownResult guards;
    if (!closeAllBut(kept) || !lockDown(guards)) {
        _exit(2);
    }
    if (rehearsal != nullptr) {
        warmUp(rehearsal, channel);
    }
    HelperRequest request;
    int fds[2];
    int count = 0;
    long got;
    do {
        got = receiveMessage(channel, &request, sizeof(request), fds, 2, count);
    } while (got == -1 && errno == EINTR);
    close(channel);
    if (got != long(sizeof(request)) || count != 2) {
        _exit(0); // discarded, or the helper has gone
    }
    ReaderReply message;
    message.guards = (guards.landlock ? std::uint32_t(ReaderReply::Landlock) : 0U) |
                     (guards.seccomp ? std::uint32_t(ReaderReply::Seccomp) : 0U);
    if (guards.seccomp) {
        runFunction(request, fds[0], fds[1], message);
    } else { // not a byte of the file without the filter
        replyWithReason(fds[1], message, ReaderReply::Failure, unguardedReaderReason());
    }
    _exit(0); // no exit handlers: they belong to the viewer
}

// What readers load at run time, loaded in the helper before the first reader that may need it is
// forked. Each load is a new generation: a spare forked before it lacks what it brought.
struct Preparation {
    ReaderPreparation load;
    bool done = false;
    int generation = 0;
    void now() {
        if (!done) {
            done = true;
            ++generation;
            if (load.all != nullptr) {
                load.all();
            }
        }
    }
    void module(const char* name) {
        if (!done && load.module != nullptr && load.module(name)) {
            ++generation;
        }
    }
};

// A spare made before anything was loaded serves only the start-up read, which follows at once:
// it waits for that read without warming up.
ReaderFunction warmedUp(const Preparation& preparation) {
    return preparation.generation > 0 ? preparation.load.rehearsal : nullptr;
}

struct Running {
    pid_t pid;
    int pidfd;
    int status;
};

// The next reader, forked, locked down and warmed up while nothing waits for it: forking a reader
// and its lock-down cost a read 1.5 to 4 ms, most of a small picture's read. One made before the
// last load of the readers' libraries serves only the start-up read, which needs none of them.
class Spare {
  public:
    ~Spare() { discard(); }
    // Whether it can serve a read that needs what the helper had loaded at `generation`, or any
    // (a negative generation).
    bool ready(int generation) const {
        return pid_ > 0 && (generation < 0 || generation_ == generation);
    }
    void make(int generation, ReaderFunction rehearsal) {
        discard();
        int ends[2];
        if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) {
            return;
        }
        const pid_t helper = getpid();
        const std::int64_t mapped = mappedBytes(); // the spare's too: it is a copy
        const pid_t pid = fork();
        if (pid == 0) {
            runSpare(ends[1], helper, rehearsal);
        }
        close(ends[1]);
        if (pid < 0) {
            close(ends[0]);
            return;
        }
        pid_ = pid;
        channel_ = ends[0];
        generation_ = generation;
        mapped_ = mapped;
    }
    // Hands the spare its read (the file and the reply end); the spare is then the caller's.
    pid_t hand(const HelperRequest& request, int file, int reply) {
        const pid_t pid = pid_;
        if ((request.memoryBytes > 0 && memoryBoundApplies() &&
             !boundAddressSpace(pid, mapped_ + request.memoryBytes)) ||
            !boundFileSize(pid,
                           std::max<std::int64_t>(request.maxBytes, 0) + sysconf(_SC_PAGESIZE))) {
            discard();
            return -1;
        }
        const int fds[2] = {file, reply};
        if (!sendMessage(channel_, &request, sizeof(request), fds, 2)) {
            discard();
            return -1;
        }
        close(channel_);
        pid_ = 0;
        channel_ = -1;
        return pid;
    }
    void discard() {
        if (pid_ > 0) {
            close(channel_);
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        pid_ = 0;
        channel_ = -1;
    }

  private:
    pid_t pid_ = 0;
    int channel_ = -1;
    int generation_ = 0;
    std::int64_t mapped_ = 0;
};

void note(int status, HelperNote::Kind kind, pid_t pid, int waitStatus = 0, int pidfd = -1) {
    const HelperNote message{kind, pid, waitStatus};
    sendMessage(status, &message, sizeof(message), pidfd >= 0 ? &pidfd : nullptr,
                pidfd >= 0 ? 1 : 0);
}

// Starts the reader of one request; false when the viewer has gone.
bool serve(int channel, std::vector<Running>& running, Preparation& preparation, Spare& spare) {
    HelperRequest request;
    int fds[3];
    int count = 0;
    const long got = receiveMessage(channel, &request, sizeof(request), fds, 3, count);
    if (got == 0 || got == -1) {
        return got == -1 && (errno == EINTR || errno == EAGAIN);
    }
    if (got == long(sizeof(request)) && count == 0) { // the start-up read was left for later
        request.module[sizeof(request.module) - 1] = 0;
        if (request.module[0] != 0) {
            preparation.module(request.module);
        } else {
            preparation.now();
        }
        return true;
    }
    if (got < 0 || count != 3) {
        for (int i = 0; i < count; ++i) {
            close(fds[i]);
        }
        return true;
    }
    if (request.when == HelperRequest::Now) {
        preparation.now();
    }
    const int needed = request.when == HelperRequest::Early ? -1 : preparation.generation;
    const int file = fds[0], reply = fds[1], status = fds[2];
    pid_t pid = -1;
    for (int tries = 0; tries < 2 && pid < 0; ++tries) { // a spare that died is made anew
        if (!spare.ready(needed)) {
            spare.make(preparation.generation, warmedUp(preparation));
        }
        pid = spare.ready(needed) ? spare.hand(request, file, reply) : -1;
    }
    close(file);
    close(reply);
    const int pidfd = pid > 0 ? int(syscall(SYS_pidfd_open, pid, 0)) : -1;
    if (pidfd < 0) {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        note(status, HelperNote::NotStarted, 0);
        close(status);
        return true;
    }
    note(status, HelperNote::Started, pid, 0, pidfd);
    running.push_back({pid, pidfd, status});
    return true;
}

void reapEnded(std::vector<Running>& running, const std::vector<pollfd>& polled) {
    for (std::size_t i = 1; i < polled.size(); ++i) {
        if (polled[i].revents == 0) {
            continue;
        }
        auto reader = std::find_if(running.begin(), running.end(),
                                   [&](const Running& r) { return r.pidfd == polled[i].fd; });
        int waitStatus = 0;
        if (waitpid(reader->pid, &waitStatus, 0) == reader->pid) {
            note(reader->status, HelperNote::Ended, reader->pid, waitStatus);
        }
        close(reader->pidfd);
        close(reader->status);
        running.erase(reader);
    }
}

// The preparation (the format modules and their libraries: tens of milliseconds of a core) stays
// out of the way of the viewer's start: the start-up read needs at most its own format's module,
// which the viewer asks for alone, so the whole runs when a reader needs it, when the viewer says
// the start-up read was left for the application object, or after a second with nothing to do.
[[noreturn]] void runHelper(int channel, ReaderPreparation load) {
    signal(SIGPIPE, SIG_IGN);
    if (!closeAllBut({STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO, channel})) {
        _exit(0); // the viewer's reads then fail: no reader may inherit what is left
    }
    Preparation preparation{load};
    constexpr int idleWait = 1000; // milliseconds
    std::vector<Running> running;
    Spare spare;
    for (;;) {
        // Made once no reader runs: made beside a read, it took the read's cores (a small
        // picture's read 3 to 4 ms instead of 2, on two cores); a read that comes first gets one
        // made on demand.
        if (!spare.ready(preparation.generation) && running.empty()) {
            spare.make(preparation.generation, warmedUp(preparation));
        }
        std::vector<pollfd> polled{{channel, POLLIN, 0}};
        for (const Running& reader : running) {
            polled.push_back({reader.pidfd, POLLIN, 0});
        }
        const int ready =
            poll(polled.data(), nfds_t(polled.size()), preparation.done ? -1 : idleWait);
        if (ready == 0) {
            preparation.now();
            continue;
        }
        if (ready < 0) {
            continue; // interrupted
        }
        if (polled[0].revents != 0 && !serve(channel, running, preparation, spare)) {
            // The viewer has gone: so do its readers, before the helper.
            spare.discard();
            for (const Running& reader : running) {
                syscall(SYS_pidfd_send_signal, reader.pidfd, SIGKILL, nullptr, 0);
                waitpid(reader.pid, nullptr, 0);
            }
            _exit(0);
        }
        reapEnded(running, polled);
    }
}

// The environment variable that makes a fresh copy of this program a helper, on the channel it
// names.
constexpr char helperVariable[] = "KELMO_READER_HELPER_CHANNEL";
int ownImage = -1; // this program's file, opened at the start: a helper started again runs it

// Starts a helper as a new program: forked from a viewer that has threads, a copy could find a lock
// held by one of them, so the copy does nothing but run this program's file afresh, which becomes
// the helper in startReaderHelper. It leaves when its channel closes.
pid_t startFreshHelper(int channel) {
    const std::string variable = std::string(helperVariable) + '=' + std::to_string(channel);
    std::vector<char*> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::strncmp(*entry, helperVariable, sizeof(helperVariable) - 1) != 0) {
            environment.push_back(*entry);
        }
    }
    environment.push_back(const_cast<char*>(variable.c_str()));
    environment.push_back(nullptr);
    char name[] = "kelmo";
    char* const arguments[] = {name, nullptr};
    const pid_t pid = fork();
    if (pid == 0) {
        if (fcntl(channel, F_SETFD, 0) == 0) { // only async-signal-safe calls here
            syscall(SYS_execveat, ownImage, "", arguments, environment.data(), AT_EMPTY_PATH);
        }
        _exit(127);
    }
    return pid;
}

} // namespace

std::uintptr_t functionOffset(ReaderFunction function) {
    return reinterpret_cast<std::uintptr_t>(function) -
           reinterpret_cast<std::uintptr_t>(&startReaderHelper);
}

std::uintptr_t functionOffset(FramesFunction function) {
    return reinterpret_cast<std::uintptr_t>(function) -
           reinterpret_cast<std::uintptr_t>(&startReaderHelper);
}

FramesFunction framesFunctionAt(std::uintptr_t offset) {
    return reinterpret_cast<FramesFunction>(reinterpret_cast<std::uintptr_t>(&startReaderHelper) +
                                            offset);
}

ReaderFunction functionAt(std::uintptr_t offset) {
    return reinterpret_cast<ReaderFunction>(reinterpret_cast<std::uintptr_t>(&startReaderHelper) +
                                            offset);
}

int restartReaderHelper() {
    if (helperProcess > 0) {
        kill(helperProcess, SIGKILL);
        waitpid(helperProcess.load(), nullptr, 0);
        helperProcess = 0;
    }
    if (helperChannel >= 0) {
        close(helperChannel);
        helperChannel = -1;
    }
    int ends[2];
    if (ownImage < 0 || socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) {
        return -1;
    }
    const pid_t pid = startFreshHelper(ends[1]);
    close(ends[1]);
    if (pid < 0) {
        close(ends[0]);
        return -1;
    }
    helperChannel = ends[0];
    helperProcess = pid;
    return helperChannel;
}

bool startReaderHelper(ReaderPreparation preparation) {
    if (const char* channel = std::getenv(helperVariable)) { // started again, as the helper
        const int fd = std::atoi(channel);
        unsetenv(helperVariable);
        if (fd > STDERR_FILENO) {
            runHelper(fd, preparation);
        }
        _exit(0);
    }
    if (ownImage < 0) {
        ownImage = open("/proc/self/exe", O_PATH | O_CLOEXEC);
    }
    int ends[2];
    if (helperChannel >= 0 || socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) {
        return helperChannel >= 0;
    }
    const pid_t viewer = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        close(ends[0]);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != viewer) {
            _exit(0);
        }
        runHelper(ends[1], preparation);
    }
    close(ends[1]);
    if (pid < 0) {
        close(ends[0]);
        return false;
    }
    helperChannel = ends[0];
    helperProcess = pid;
    helperStarted = true;
    return true;
}

bool readerHelperRunning() {
    return helperStarted;
}

int readerHelperPid() {
    return helperProcess;
}

int helperChannelForReads() {
    return helperChannel;
}

} // namespace platform::sandbox
