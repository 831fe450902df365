// SPDX-License-Identifier: MIT
// Hostile reader functions run in the locked-down reader process, as a picture reader that a file
// has taken over would run: each is refused, or ends alone and is reported.

#include "reading/sandbox/ReaderProcess.h"
#include "platform/PlatformError.h"
#include "reading/ImageFileLoader.h"
#include "reading/decoders/FrameReader.h"
#include "reading/decoders/PictureFinish.h"
#include "reading/sandbox/LockDown.h"
#include "reading/sandbox/ReaderChannel.h"
#include "support/HostileReaders.h"
#include "support/PictureEncoders.h"
#include "support/PngFiles.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <atomic>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <linux/landlock.h>
#include <memory>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/ipc.h>
#include <sys/mman.h>
#include <sys/personality.h>
#include <sys/prctl.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/shm.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <sys/xattr.h>
#include <thread>
#include <unistd.h>
#include <vector>

using platform::decoders::DecodeContext;
using platform::decoders::DecodeFailure;
using platform::sandbox::ReadEnd;
using platform::sandbox::ReaderFunction;
using platform::sandbox::ReadOutcome;
using testing_support::allocatingReader;
using testing_support::crashingReader;
using testing_support::loopingReader;
using testing_support::waitingReader;

namespace {

// EPERM where Landlock or the kernel refuses, ENOSYS where the filter does.
QString refused(long result) {
    const int error = errno;
    return result < 0 && (error == EPERM || error == ENOSYS)
               ? QStringLiteral("refused")
               : QStringLiteral("allowed (%1, %2)").arg(result).arg(error);
}

QImage triesToGetOut(int, const DecodeContext&) {
    QStringList seen;
    seen << QStringLiteral("read ") + refused(open("/etc/passwd", O_RDONLY));
    seen << QStringLiteral("create ") +
                refused(open("/tmp/kelmo-escaped", O_CREAT | O_WRONLY | O_TRUNC, 0600));
    seen << QStringLiteral("socket ") + refused(socket(AF_INET, SOCK_STREAM, 0));
    char* const arguments[] = {const_cast<char*>("/bin/true"), nullptr};
    seen << QStringLiteral("exec ") + refused(execve("/bin/true", arguments, environ));
    const pid_t child = fork();
    if (child == 0) {
        _exit(0);
    }
    seen << QStringLiteral("fork ") + refused(child);
    seen << QStringLiteral("signal ") + refused(kill(getppid(), 0));
    // Each set to what it is already: allowed, it would change nothing in the helper.
    rlimit limit{};
    prlimit(getppid(), RLIMIT_CORE, nullptr, &limit);
    seen << QStringLiteral("limits ") + refused(prlimit(getppid(), RLIMIT_CORE, &limit, nullptr));
    const int nice = getpriority(PRIO_PROCESS, id_t(getppid()));
    seen << QStringLiteral("priority ") + refused(setpriority(PRIO_PROCESS, id_t(getppid()), nice));
    cpu_set_t cpus;
    sched_getaffinity(getppid(), sizeof(cpus), &cpus);
    seen << QStringLiteral("affinity ") +
                refused(sched_setaffinity(getppid(), sizeof(cpus), &cpus));
    throw DecodeFailure(seen.join(QStringLiteral(", ")));
}

QImage startsAThread(int, const DecodeContext&) {
    int value = 0;
    std::thread([&value] { value = 7; }).join();
    QImage image(2, 1, QImage::Format_RGB32);
    image.fill(qRgb(value, 0, 0));
    return image;
}

QImage endsWithoutAReply(int, const DecodeContext&) {
    _exit(0);
}

// Sends, on the reader's own channel, a picture whose memory files do not hold what it claims:
// one of `bytes`, or two that split them after `first` bytes.
template <bool sealed, std::size_t bytes, std::size_t first = 0, bool unguarded = false>
QImage liesAboutItsPixels(int file, const DecodeContext&) {
    int channel = -1;
    for (int fd = 0; fd < 64; ++fd) {
        struct stat status {};
        if (fd != file && fstat(fd, &status) == 0 && S_ISSOCK(status.st_mode)) {
            channel = fd;
        }
    }
    const std::size_t sizes[2] = {first > 0 ? first : bytes, bytes - first};
    int memory[2];
    const int files = first > 0 ? 2 : 1;
    for (int i = 0; i < files; ++i) {
        memory[i] = memfd_create("lie", MFD_ALLOW_SEALING);
        if (ftruncate(memory[i], off_t(sizes[i])) != 0 ||
            (sealed &&
             fcntl(memory[i], F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE) != 0)) {
            _exit(3);
        }
    }
    platform::sandbox::ReaderReply reply;
    reply.kind = platform::sandbox::ReaderReply::Picture;
    reply.guards = unguarded ? 0U : std::uint32_t(platform::sandbox::ReaderReply::Seccomp);
    reply.width = 1000;
    reply.height = 1000;
    reply.bytesPerLine = 4000;
    reply.format = QImage::Format_RGB32;
    platform::sandbox::sendMessage(channel, &reply, sizeof(reply), memory, files);
    _exit(0);
}

// A 32-bit system call (getpid through int 0x80), from another architecture's table.
QImage makesA32BitCall(int, const DecodeContext&) {
#if defined(__x86_64__)
    long result = 20;
    __asm__ __volatile__("int $0x80" : "+a"(result) : : "memory");
#endif
    throw DecodeFailure(QStringLiteral("still here"));
}

// What a reader taken over by a file might try beyond its read, given in its file the file's path
// and a System V memory segment of another program's: each refused.
QImage triesToReachBeyondItsRead(int file, const DecodeContext&) {
    char given[512] = {};
    [[maybe_unused]] const ssize_t got = read(file, given, sizeof(given) - 1);
    const QList<QByteArray> lines = QByteArray(given).split('\n');
    const QByteArray path = lines.value(0);
    const int segment = lines.value(1).toInt();
    QStringList allowed; // the reply's reason has room for a few names only
    int count = 0;
    const auto tried = [&](const char* what, long result) {
        ++count;
        if (const QString answer = refused(result); answer != QStringLiteral("refused")) {
            allowed << QString::fromLatin1(what) + QLatin1Char(' ') + answer;
        }
    };
    tried("fchmod", fchmod(file, 0777));
    tried("fchown", fchown(file, 1, 1));
    tried("fchmodat2", syscall(452, AT_FDCWD, path.constData(), 0777, 0));
    tried("fchmodat", fchmodat(AT_FDCWD, path.constData(), 0777, 0));
    tried("fsetxattr", fsetxattr(file, "user.kelmo", "x", 1, 0));
    tried("setxattr", setxattr(path.constData(), "user.kelmo", "x", 1, 0));
    tried("removexattr", removexattr(path.constData(), "user.kelmo"));
    tried("F_SETOWN", fcntl(file, F_SETOWN, getppid()));
    tried("O_ASYNC", fcntl(file, F_SETFL, O_ASYNC));
    tried("F_SETSIG", fcntl(file, F_SETSIG, SIGKILL));
    tried("PR_SET_PDEATHSIG", prctl(PR_SET_PDEATHSIG, 0));
    tried("PR_SET_DUMPABLE", prctl(PR_SET_DUMPABLE, 1));
    tried("shmget", shmget(IPC_PRIVATE, 4096, IPC_CREAT | 0600));
    void* const attached = shmat(segment, nullptr, 0);
    tried("shmat", attached == reinterpret_cast<void*>(-1) ? -1 : 0);
    tried("mq_open", syscall(SYS_mq_open, "kelmo", O_CREAT | O_RDWR, 0600, nullptr));
    tried("io_uring_setup", syscall(SYS_io_uring_setup, 8, given));
    tried("open_by_handle_at", syscall(SYS_open_by_handle_at, file, given, O_RDONLY));
    tried("ptrace", ptrace(PTRACE_ATTACH, getppid(), nullptr, nullptr));
    iovec local{given, 1}, remote{given, 1};
    tried("process_vm_writev", process_vm_writev(getppid(), &local, 1, &remote, 1, 0));
    tried("pidfd_getfd", syscall(SYS_pidfd_getfd, 0, 0, 0));
    tried("unshare", unshare(CLONE_NEWUSER));
    tried("personality", personality(READ_IMPLIES_EXEC));
    tried("modify_ldt", syscall(SYS_modify_ldt, 1, given, 16));
    char key = 'x';
    tried("TIOCSTI", ioctl(file, TIOCSTI, &key));
    tried("executable memory", mmap(nullptr, 4096, PROT_READ | PROT_EXEC,
                                    MAP_PRIVATE | MAP_ANONYMOUS, -1, 0) == MAP_FAILED
                                   ? -1
                                   : 0);
    tried("a call no kernel has", syscall(1023));
    throw DecodeFailure(QStringLiteral("%1 tried; %2").arg(count).arg(allowed.join(u',')));
}

// A reader of a file that declares a 256 × 256 picture, then takes all the memory it can: how
// many megabytes it had when it was refused.
QImage declaresASmallPictureAndTakesMore(int, const DecodeContext& context) {
    context.checkSize(256, 256);
    std::vector<std::unique_ptr<char[]>> taken;
    constexpr std::size_t chunk = 16 << 20;
    try {
        for (;;) {
            taken.emplace_back(new char[chunk]);
            std::memset(taken.back().get(), 1, chunk);
        }
    } catch (const std::bad_alloc&) {
    }
    throw DecodeFailure(QString::number(taken.size() * (chunk >> 20)));
}

struct ReaderRun {
    testing_support::PictureFiles files;
    QString path = files.write(QStringLiteral("cualquiera.bmp"), 4, 4);

    ReadOutcome run(ReaderFunction function, std::stop_token stop = {},
                    std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return platform::sandbox::readInReader(file.handle(), {function, 64 << 20, false, limit},
                                               std::move(stop));
    }
};

bool kernelHasLandlock() {
    return syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION) > 0;
}

TEST(ReaderProcess, RefusesFilesSocketsProgramsProcessesAndSignalsButAllowsThreads) {
    ReaderRun reader;
    const ReadOutcome out = reader.run(triesToGetOut);
    ASSERT_EQ(out.end, ReadEnd::Failure) << out.reason.toStdString();
    EXPECT_EQ(out.reason, QStringLiteral("read refused, create refused, socket refused, exec "
                                         "refused, fork refused, signal refused, limits refused, "
                                         "priority refused, affinity refused"))
        << out.reason.toStdString();
    EXPECT_FALSE(QFile::exists(QStringLiteral("/tmp/kelmo-escaped")));
    EXPECT_TRUE(out.seccomp);
    // Landlock is a second wall behind the filter; where the kernel lacks it the read still runs
    // (and the viewer says so once on standard error).
    EXPECT_EQ(out.landlock, kernelHasLandlock());

    const ReadOutcome threaded = reader.run(startsAThread);
    ASSERT_EQ(threaded.end, ReadEnd::Picture);
    EXPECT_EQ(threaded.image.pixel(1, 0), qRgb(7, 0, 0));
}

TEST(ReaderProcess, RefusesEveryWayBeyondItsReadAndNothingChangesOutside) {
    testing_support::PictureFiles files;
    const int segment = shmget(IPC_PRIVATE, 4096, IPC_CREAT | 0600);
    ASSERT_GE(segment, 0);
    auto* const mine = static_cast<char*>(shmat(segment, nullptr, 0));
    std::strcpy(mine, "untouched");
    const QString path = files.path(QStringLiteral("dada.bin"));
    files.writeText(QStringLiteral("dada.bin"),
                    path.toLocal8Bit() + '\n' + QByteArray::number(segment) + '\n');
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    const int helper = platform::sandbox::readerHelperPid();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const ReadOutcome out =
        platform::sandbox::readInReader(file.handle(), {triesToReachBeyondItsRead, 64 << 20}, {});

    ASSERT_EQ(out.end, ReadEnd::Failure) << out.reason.toStdString();
    EXPECT_EQ(out.reason, QStringLiteral("26 tried; ")) << out.reason.toStdString();
    struct stat status {};
    ASSERT_EQ(stat(path.toLocal8Bit().constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600U);
    EXPECT_EQ(status.st_uid, getuid());
    EXPECT_EQ(getxattr(path.toLocal8Bit().constData(), "user.kelmo", nullptr, 0), -1);
    EXPECT_STREQ(mine, "untouched");
    shmdt(mine);
    shmctl(segment, IPC_RMID, nullptr);
    // The helper was not signalled or traced, and the next read works.
    EXPECT_EQ(platform::sandbox::readerHelperPid(), helper);
    EXPECT_EQ(kill(helper, 0), 0);
    ReaderRun reader;
    EXPECT_EQ(reader.run(startsAThread).end, ReadEnd::Picture);
}

TEST(ReaderProcess, DeathsAndLimitsAreReportedAndTheViewerGoesOn) {
    struct Case {
        const char* name;
        ReaderFunction function;
        ReadEnd end;
    };
    std::vector<Case> cases = {
        {"crash", crashingReader, ReadEnd::Crashed},
        {"endless loop", loopingReader, ReadEnd::TimedOut},
        {"no reply", endsWithoutAReply, ReadEnd::Crashed},
        {"memory file too small", liesAboutItsPixels<true, 16>, ReadEnd::Crashed},
        {"memory file not sealed", liesAboutItsPixels<false, 4000000>, ReadEnd::Crashed},
        {"first memory file not whole pages", liesAboutItsPixels<true, 4000000, 4000>,
         ReadEnd::Crashed},
        {"second memory file too small", liesAboutItsPixels<true, 3000000, 4096>, ReadEnd::Crashed},
        {"a picture from a reader without its filter", liesAboutItsPixels<true, 4000000, 0, true>,
         ReadEnd::Failure},
        {"a 32-bit system call", makesA32BitCall, ReadEnd::Crashed},
    };
    // Under the sanitizers no address-space bound can be set (LockDown.h).
    if (platform::sandbox::memoryBoundApplies()) {
        cases.push_back({"memory", allocatingReader, ReadEnd::OutOfMemory});
    }
    ReaderRun reader;
    if (platform::sandbox::memoryBoundApplies()) {
        // Its bound follows the picture it declared: a few hundred megabytes at most here, where
        // the picture bound of this read alone would allow more than twice 64 MB plus 256 MB.
        const ReadOutcome small = reader.run(declaresASmallPictureAndTakesMore);
        ASSERT_EQ(small.end, ReadEnd::Failure);
        const int cores = int(std::thread::hardware_concurrency());
        EXPECT_LE(small.reason.toInt(), 64 + 16 * cores) << small.reason.toStdString();
    }
    for (const Case& c : cases) {
        const std::chrono::milliseconds limit(c.function == loopingReader ? 300 : 20000);
        EXPECT_EQ(reader.run(c.function, {}, limit).end, c.end) << c.name;
    }
    EXPECT_EQ(reader.run(startsAThread).end, ReadEnd::Picture);
}

// The pids of the helper's children, the readers.
std::vector<int> readers() {
    const int helper = platform::sandbox::readerHelperPid();
    QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(helper));
    std::vector<int> pids;
    if (children.open(QIODevice::ReadOnly)) {
        for (const QByteArray& pid : children.readAll().split(' ')) {
            if (pid.toInt() > 0) {
                pids.push_back(pid.toInt());
            }
        }
    }
    return pids;
}

// What a /proc/PID/fd entry points to: a path, or "socket", "pipe" and the like.
QString descriptorKind(const QString& entry) {
    char target[512] = {};
    const ssize_t length = readlink(entry.toLocal8Bit().constData(), target, sizeof(target) - 1);
    return QString::fromLocal8Bit(target, std::max<ssize_t>(length, 0))
        .section(QLatin1Char(':'), 0, 0);
}

// What a process's descriptors point to, sorted.
QStringList descriptorsOf(int pid) {
    QStringList targets;
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QString& fd :
         fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        targets << descriptorKind(fds.filePath(fd));
    }
    targets.sort();
    return targets;
}

QStringList withStandardErrorOfSanitizers(QStringList expected) {
    if (platform::sandbox::sanitizerBuild()) {
        expected << descriptorKind(QStringLiteral("/proc/self/fd/2"));
    }
    expected.sort();
    return expected;
}

// Whether a process has ended (gone, or a zombie not reaped yet by whoever inherited it).
// A process is ended once its first thread is a zombie and no other thread is left: until the
// last one goes it keeps its descriptors open (a sanitizer's own thread can take seconds).
bool endedOrGone(int pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return true;
    }
    const QStringList threads =
        QDir(QStringLiteral("/proc/%1/task").arg(pid)).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    return stat.readAll().contains(") Z ") && threads.size() <= 1;
}

// Waits for pid to end, for at most 10 s: a killed process under a sanitizer, on a loaded machine,
// can take seconds to unmap its shadow memory before it ends.
bool waitForEnd(int pid) {
    for (int tries = 0; tries < 2000 && !endedOrGone(pid); ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return endedOrGone(pid);
}

QString statusOf(int pid) {
    QFile file(QStringLiteral("/proc/%1/status").arg(pid));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
}

TEST(ReaderProcess, SeenFromOutsideItIsLockedDownWithOnlyItsFileAndChannel) {
    ReaderRun reader;
    const QString file = QDir(reader.path).canonicalPath();
    std::stop_source stop;
    std::thread read(
        [&] { EXPECT_EQ(reader.run(waitingReader, stop.get_token()).end, ReadEnd::Cancelled); });
    // The one reading, beside the spare made ahead, once it holds the file it was handed.
    const QStringList expected = withStandardErrorOfSanitizers({file, QStringLiteral("socket")});
    int pid = 0;
    for (int tries = 0; tries < 400 && pid == 0; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        for (const int child : readers()) {
            if (descriptorsOf(child).contains(file) &&
                statusOf(child).contains(QStringLiteral("Seccomp:\t2"))) {
                pid = child;
            }
        }
    }
    EXPECT_TRUE(statusOf(pid).contains(QStringLiteral("NoNewPrivs:\t1")));
    // A session of its own, so a process group of its own: no group signal reaches it or is sent
    // in the viewer's name.
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    ASSERT_TRUE(stat.open(QIODevice::ReadOnly));
    const QList<QByteArray> fields = stat.readAll().split(')').value(1).split(' ');
    EXPECT_EQ(fields.value(3).toInt(), pid) << "process group";
    EXPECT_EQ(fields.value(4).toInt(), pid) << "session";
    QStringList held = descriptorsOf(pid);
    for (int tries = 0; tries < 400 && held != expected; ++tries) { // its helper channel closing
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        held = descriptorsOf(pid);
    }
    EXPECT_EQ(held.join(QLatin1Char(' ')).toStdString(),
              expected.join(QLatin1Char(' ')).toStdString());
    stop.request_stop();
    read.join();
    // Then only the next reader is left, made once the read has ended: locked down, with its
    // channel to the helper alone once it has warmed up on our own pictures.
    const QStringList waiting = withStandardErrorOfSanitizers({"socket"});
    const auto waitingSpare = [&] {
        const std::vector<int> left = readers();
        return left.size() == 1 && statusOf(left.front()).contains(QStringLiteral("Seccomp:\t2")) &&
               descriptorsOf(left.front()) == waiting;
    };
    bool settled = waitingSpare();
    for (int tries = 0; tries < 400 && !settled; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        settled = waitingSpare();
    }
    EXPECT_TRUE(settled) << readers().size() << " readers left";
}

namespace {

// Every frame of the file's animation, read and finished as the reader process does: the last.
QImage lastFrame(int fileDescriptor, const DecodeContext& context) {
    QFile file;
    if (!file.open(fileDescriptor, QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) {
        throw DecodeFailure(file.errorString());
    }
    const std::unique_ptr<platform::decoders::FrameReader> reader =
        platform::decoders::openAnimation(file, context);
    if (reader == nullptr) {
        throw DecodeFailure(QStringLiteral("no animation"));
    }
    platform::decoders::Decoded last;
    last.iccProfile = reader->info().iccProfile;
    while (std::optional<platform::decoders::AnimationFrame> frame = reader->next()) {
        last.image = std::move(frame->canvas);
    }
    return platform::decoders::finishPicture(std::move(last), context);
}

// Warns on standard output and error while it makes its picture, as libraries do.
QImage chattyReader(int, const DecodeContext& context) {
    QImage image = context.newImage(64, 64, QImage::Format_RGB32);
    image.fill(qRgb(0, 128, 255));
    constexpr char warning[] = "aviso de una biblioteca\n";
    for (const int stream : {STDOUT_FILENO, STDERR_FILENO}) {
        [[maybe_unused]] const ssize_t written = write(stream, warning, sizeof(warning) - 1);
    }
    return image;
}

} // namespace

// The libraries need nothing the locked-down reader is refused, and its frames come out whole.
TEST(ReaderProcess, AnimationsReadWholeInTheLockedDownReader) {
    for (const char* name : {"gif-previous.gif", "gif-interlaced.gif", "webp-dispose-blend.webp",
                             "apng-dispose-blend.png", "jxl-frames.jxl", "avif-frames.avif"}) {
        SCOPED_TRACE(name);
        QFile file(QStringLiteral(KELMO_TEST_DATA "/animations/") + QLatin1String(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QImage expected = lastFrame(file.handle(), DecodeContext{64 << 20});
        file.seek(0);
        const platform::sandbox::ReadOutcome outcome =
            platform::sandbox::readInReader(file.handle(), {lastFrame, 64 << 20}, {});
        ASSERT_EQ(outcome.end, platform::sandbox::ReadEnd::Picture) << outcome.reason.toStdString();
        EXPECT_TRUE(outcome.seccomp);
        EXPECT_EQ(outcome.image, expected);
    }
}

TEST(ReaderProcess, WhatALibraryWritesToStandardStreamsReachesNeitherPictureNorReply) {
    ReaderRun reader;
    const ReadOutcome out = reader.run(chattyReader);
    ASSERT_EQ(out.end, ReadEnd::Picture) << out.reason.toStdString();
    QImage expected(64, 64, QImage::Format_RGB32);
    expected.fill(qRgb(0, 128, 255));
    EXPECT_EQ(out.image.convertToFormat(QImage::Format_RGB32), expected);
}

TEST(ReaderProcess, ReadsOnSeveralThreadsAtOnceAndAStopEndsOnlyItsOwn) {
    ReaderRun reader;
    std::stop_source stop;
    std::thread abandoned(
        [&] { EXPECT_EQ(reader.run(waitingReader, stop.get_token()).end, ReadEnd::Cancelled); });
    std::vector<std::thread> others;
    for (int i = 0; i < 4; ++i) {
        others.emplace_back([&] { EXPECT_EQ(reader.run(startsAThread).end, ReadEnd::Picture); });
    }
    for (std::thread& other : others) {
        other.join();
    }
    stop.request_stop();
    abandoned.join();
}

// Each reader's hardest still picture at a size where the working pictures its reader asks for,
// not the fixed margin, decide whether the read fits: each must read in a real reader process.
TEST(ReaderProcess, LargeHardPicturesFitTheirReadersWorkingMemory) {
    if (!platform::sandbox::memoryBoundApplies()) {
        GTEST_SKIP() << "sanitizer builds set no address-space limit";
    }
    constexpr int width = 6000;
    constexpr int height = 4000;
    const auto turnedCmykJpeg = [] {
        const uchar cyan[4] = {200, 20, 0, 0};
        const QByteArray exif = QByteArray("Exif\0\0", 6) + testing_support::exifBlock(6);
        const QByteArray app1 = QByteArray("\xff\xe1", 2) + char((exif.size() + 2) >> 8) +
                                char((exif.size() + 2) & 0xff) + exif;
        return testing_support::cmykJpeg(width, height, cyan, false, true).insert(2, app1);
    };
    const auto translucentJxl = [] {
        QImage gradient(width, height, QImage::Format_ARGB32);
        for (int y = 0; y < height; ++y) {
            auto* row = reinterpret_cast<QRgb*>(gradient.scanLine(y));
            for (int x = 0; x < width; ++x) {
                row[x] = qRgba(x * 255 / width, y * 255 / height, 128, 200);
            }
        }
        return testing_support::encodeJxl(gradient, 1, 1);
    };
    const struct {
        const char* name;
        std::function<QByteArray()> bytes;
        QSize shown;
    } cases[] = {
        {"cmyk-progresivo-girado.jpg", turnedCmykJpeg, {height, width}},
        {"rgba-16-bits-entrelazado.png",
         [] {
             return testing_support::makePng({.width = width,
                                              .height = height,
                                              .bitDepth = 16,
                                              .colourType = 6,
                                              .interlaced = true,
                                              .level = 1});
         },
         {width, height}},
        {"sin-perdida-con-alfa.jxl", translucentJxl, {width, height}},
    };
    testing_support::PictureFiles files;
    for (const auto& c : cases) {
        const QString path = files.writeText(QString::fromUtf8(c.name), c.bytes());
        try {
            EXPECT_EQ(platform::ImageFileLoader().readPicture(path).pixels().size(), c.shown)
                << c.name;
        } catch (const platform::PlatformError& error) {
            ADD_FAILURE() << c.name << ": " << error.description().toStdString();
        }
        QFile::remove(path);
    }
}

TEST(ReaderProcess, LoaderPutsEachReasonInItsMessage) {
    struct Case {
        ReaderFunction function;
        platform::ErrorNumber number;
        const char* reason;
    };
    std::vector<Case> cases = {
        {crashingReader, platform::ErrorNumber::InvalidPicture, "el lector de imágenes se detuvo"},
        {loopingReader, platform::ErrorNumber::InvalidPicture,
         "la lectura superó el tiempo máximo"},
    };
    if (platform::sandbox::memoryBoundApplies()) {
        cases.push_back({allocatingReader, platform::ErrorNumber::OutOfMemory,
                         "la imagen necesita más memoria de la permitida"});
    }
    ReaderRun reader;
    for (const auto& c : cases) {
        platform::ImageFileLoader loader(64);
        loader.setReaderFunction(c.function);
        loader.setTimeLimit(std::chrono::milliseconds(c.function == loopingReader ? 300 : 20000));
        try {
            loader.readPicture(reader.path);
            ADD_FAILURE() << c.reason;
        } catch (const platform::PlatformError& error) {
            EXPECT_EQ(error.number(), c.number);
            EXPECT_TRUE(error.description().contains(QString::fromUtf8(c.reason)))
                << error.description().toStdString();
        }
    }
}

} // namespace

TEST(ReaderProcess, AHelperThatGoesFailsItsReadAndAFreshOneServesTheNext) {
    ReaderRun reader;
    std::thread lost([&] {
        const ReadEnd end = reader.run(waitingReader).end;
        EXPECT_TRUE(end == ReadEnd::NoReader || end == ReadEnd::Crashed) << int(end);
    });
    const int helper = platform::sandbox::readerHelperPid();
    for (int tries = 0; tries < 400 && readers().size() < 2;
         ++tries) { // the reading one, the spare
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const std::vector<int> orphans = readers();
    kill(helper, SIGKILL);
    lost.join();
    ASSERT_TRUE(waitForEnd(helper));
    EXPECT_EQ(reader.run(startsAThread).end, ReadEnd::Picture);
    EXPECT_NE(platform::sandbox::readerHelperPid(), helper);
    EXPECT_EQ(kill(helper, 0), -1) << "the helper that went was reaped";
    for (const int pid : orphans) {
        EXPECT_TRUE(waitForEnd(pid)) << "reader " << pid << " outlived its helper";
    }
}
