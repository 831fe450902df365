// SPDX-License-Identifier: MIT
#include "LockDown.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <initializer_list>
#include <linux/landlock.h>
#include <sched.h>
#include <seccomp.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define KELMO_SANITIZER_SHADOW 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KELMO_SANITIZER_SHADOW 1
#endif
#if defined(__has_feature)
#if __has_feature(undefined_behavior_sanitizer)
#define KELMO_SANITIZER 1
#endif
#endif
#if defined(KELMO_SANITIZER_SHADOW)
#define KELMO_SANITIZER 1
#endif

namespace platform::sandbox {

bool memoryBoundApplies() {
#if defined(KELMO_SANITIZER_SHADOW)
    return false;
#else
    return true;
#endif
}

bool sanitizerBuild() {
#if defined(KELMO_SANITIZER)
    return true;
#else
    return false;
#endif
}

namespace {

// The ruleset attribute as the newest kernels know it; an older kernel is given only the part
// its ABI version knows (it refuses a longer one), and the header may be older than the kernel.
struct RulesetAttributes {
    std::uint64_t handledFileSystem = 0;
    std::uint64_t handledNetwork = 0; // ABI 4
    std::uint64_t scoped = 0;         // ABI 6
};

RulesetAttributes everyRightOf(long abi, std::size_t& size) {
    RulesetAttributes attributes;
    attributes.handledFileSystem = (1ULL << 13) - 1; // ABI 1: execute to making symbolic links
    size = sizeof(std::uint64_t);
    if (abi >= 2) {
        attributes.handledFileSystem |= 1ULL << 13; // linking or renaming across directories
    }
    if (abi >= 3) {
        attributes.handledFileSystem |= 1ULL << 14; // truncating
    }
    if (abi >= 5) {
        attributes.handledFileSystem |= 1ULL << 15; // ioctl on devices
    }
    if (abi >= 4) {
        attributes.handledNetwork = (1ULL << 0) | (1ULL << 1); // binding and connecting TCP
        size = 2 * sizeof(std::uint64_t);
    }
    if (abi >= 6) {
        // Abstract Unix sockets and signals to processes outside the reader.
        attributes.scoped = (1ULL << 0) | (1ULL << 1);
        size = sizeof(RulesetAttributes);
    }
    return attributes;
}

// A ruleset that handles every right the kernel knows and grants none of them.
bool restrictWithLandlock() {
    const long abi =
        syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
    if (abi < 1) {
        return false;
    }
    std::size_t size = 0;
    const RulesetAttributes attributes = everyRightOf(abi, size);
    const long ruleset = syscall(SYS_landlock_create_ruleset, &attributes, size, 0);
    if (ruleset < 0) {
        return false;
    }
    const bool restricted = syscall(SYS_landlock_restrict_self, int(ruleset), 0) == 0;
    close(int(ruleset));
    return restricted;
}

// The calls a reader makes, and nothing else. Found by running every reader on the test pictures,
// the damaged-file corpus and the fuzzer's regressions with the reader traced from its lock-down
// on; the calls below with conditions are allowed for that one use only (ruleFor).
constexpr const char* allowed[] = {
    // The file it was handed, and its channel back to the viewer.
    "read",
    "pread64",
    "readv",
    "lseek",
    "fadvise64",
    "recvmsg",
    "sendmsg",
    "close",
    "poll",
    "ppoll",
    // The finished picture's memory files (written with pwrite, sized, sealed, duplicated to go
    // with their mapping) and the warm-up's.
    "write",
    "pwrite64",
    "ftruncate",
    "fallocate",
    "dup",
    // Memory; mmap and mprotect below, never executable.
    "brk",
    "munmap",
    "mremap",
    "madvise",
    // Threads (libjxl, the AV1 and HEVC decoders) and their waiting; clone below.
    "futex",
    "set_robust_list",
    "rseq",
    "sched_yield",
    "exit",
    "exit_group",
    "gettid",
    "getpid",
    // Signal handling of its own (glibc, abort, the sanitizers' reports).
    "rt_sigaction",
    "rt_sigprocmask",
    "rt_sigreturn",
    "sigaltstack",
    "restart_syscall",
    // Clocks and sleeping.
    "clock_gettime",
    "clock_getres",
    "clock_nanosleep",
    "nanosleep",
    "gettimeofday",
    "pause",
    // Random numbers for the libraries' hash tables.
    "getrandom",
};

// What the sanitizers' run-time libraries call in a reader of a sanitizer build, besides the
// calls above: UndefinedBehaviorSanitizer's check of an object's dynamic type tests whether memory
// is readable by writing it into a pipe of its own, and their reports ask for the parent and the
// system. The shipped program has none of these.
#if defined(KELMO_SANITIZER)
constexpr const char* sanitizerCalls[] = {"pipe", "pipe2", "getppid", "sched_getparam", "uname"};
#else
constexpr std::array<const char*, 0> sanitizerCalls{};
#endif

// Every other call, and every other use of the calls allowed for one use, is answered ENOSYS, as
// a kernel without it would answer: the libraries then take their fallback (glibc goes from
// clone3 to clone, from rseq to none), where killing the reader would turn a harmless probe into
// a lost read. A call from another architecture's table (a 32-bit int 0x80 call, say) kills the
// reader: nothing of ours makes one.
constexpr std::uint32_t refused = SCMP_ACT_ERRNO(ENOSYS);

bool allow(scmp_filter_ctx filter, int number, std::initializer_list<scmp_arg_cmp> only = {}) {
    return seccomp_rule_add_array(filter, SCMP_ACT_ALLOW, number, unsigned(only.size()),
                                  only.size() == 0 ? nullptr : only.begin()) == 0;
}

// The calls allowed for one use only. `self` is the reader's process id.
bool addConditionalRules(scmp_filter_ctx filter, scmp_datum_t self) {
    const auto masked = [](unsigned arg, scmp_datum_t mask, scmp_datum_t value) {
        return scmp_arg_cmp{arg, SCMP_CMP_MASKED_EQ, mask, value};
    };
    bool built = true;
    // Memory that can never become code: no library a reader loads makes any.
    built = built && allow(filter, SCMP_SYS(mmap), {masked(2, PROT_EXEC, 0)});
    built = built && allow(filter, SCMP_SYS(mprotect), {masked(2, PROT_EXEC, 0)});
    // A thread, never a process. clone3 passes its flags in memory, which a filter cannot read:
    // refused, it makes glibc fall back to clone.
    built = built && allow(filter, SCMP_SYS(clone), {masked(0, CLONE_THREAD, CLONE_THREAD)});
    // The status of a descriptor it holds (glibc's fstat): with an empty path only, so no path
    // is looked at.
    built = built && allow(filter, SCMP_SYS(fstat));
    built = built && allow(filter, SCMP_SYS(newfstatat), {masked(3, AT_EMPTY_PATH, AT_EMPTY_PATH)});
    built = built && allow(filter, SCMP_SYS(statx), {masked(2, AT_EMPTY_PATH, AT_EMPTY_PATH)});
    // Memory files for the picture, never of huge pages (whose mappings the viewer refuses).
    built = built && allow(filter, SCMP_SYS(memfd_create), {masked(1, MFD_HUGETLB, 0)});
    // Descriptor flags and seals only: no owner to signal (F_SETOWN, F_SETSIG), no O_ASYNC
    // (F_SETFL), no leases or notifications.
    for (const int command :
         {F_GETFD, F_SETFD, F_GETFL, F_DUPFD_CLOEXEC, F_ADD_SEALS, F_GET_SEALS}) {
        built =
            built && allow(filter, SCMP_SYS(fcntl), {{1, SCMP_CMP_EQ, scmp_datum_t(command), 0}});
    }
    // Naming its threads (the AV1 decoder does): nothing that clears the parent-death signal,
    // the no-new-privileges bit or the dumpable flag.
    built =
        built && allow(filter, SCMP_SYS(prctl), {{0, SCMP_CMP_EQ, scmp_datum_t(PR_SET_NAME), 0}});
    built =
        built && allow(filter, SCMP_SYS(prctl), {{0, SCMP_CMP_EQ, scmp_datum_t(PR_GET_NAME), 0}});
    // Its own limits (the reader lowers its memory limit once it knows its picture's size) and
    // the cores it may run on (the decoders size their thread pools by them): process id 0, which
    // is what glibc passes, only.
    built = built && allow(filter, SCMP_SYS(prlimit64), {{0, SCMP_CMP_EQ, 0, 0}});
    built = built && allow(filter, SCMP_SYS(sched_getaffinity), {{0, SCMP_CMP_EQ, 0, 0}});
    // Signals to itself only (abort, raise); kill(-1) would reach every process of the user.
    built = built && allow(filter, SCMP_SYS(kill), {{0, SCMP_CMP_EQ, self, 0}});
    built = built && allow(filter, SCMP_SYS(tgkill), {{0, SCMP_CMP_EQ, self, 0}});
    return built;
}

// The filter, for signals to `self` only.
scmp_filter_ctx buildFilter(scmp_datum_t self) {
    scmp_filter_ctx filter = seccomp_init(refused);
    if (filter == nullptr) {
        return nullptr;
    }
    bool built = seccomp_attr_set(filter, SCMP_FLTATR_ACT_BADARCH, SCMP_ACT_KILL_PROCESS) == 0;
    for (const char* name : allowed) {
        const int number = seccomp_syscall_resolve_name(name);
        built = built && (number == __NR_SCMP_ERROR || allow(filter, number));
    }
    built = built && addConditionalRules(filter, self);
    for (const char* name : sanitizerCalls) {
        const int number = seccomp_syscall_resolve_name(name);
        built = built && (number == __NR_SCMP_ERROR || allow(filter, number));
    }
    if (!built) {
        seccomp_release(filter);
        return nullptr;
    }
    return filter;
}

bool filterWithSeccomp() {
    scmp_filter_ctx filter = buildFilter(scmp_datum_t(getpid()));
    const bool loaded = filter != nullptr && seccomp_load(filter) == 0;
    seccomp_release(filter);
    return loaded;
}

} // namespace

std::int64_t mappedBytes() {
    std::FILE* statm = std::fopen("/proc/self/statm", "re");
    long pages = 0;
    if (statm != nullptr) {
        if (std::fscanf(statm, "%ld", &pages) != 1) {
            pages = 0;
        }
        std::fclose(statm);
    }
    return std::int64_t(pages) * sysconf(_SC_PAGE_SIZE);
}

namespace {

// Sets a limit of another process, soft and hard alike, so that it cannot raise it again.
bool boundLimit(int pid, __rlimit_resource resource, std::int64_t bytes) {
    const rlimit bound{rlim_t(bytes), rlim_t(bytes)};
    return prlimit(pid, resource, &bound, nullptr) == 0;
}

} // namespace

bool boundAddressSpace(int pid, std::int64_t bytes) {
    return boundLimit(pid, RLIMIT_AS, bytes);
}

bool boundFileSize(int pid, std::int64_t bytes) {
    return boundLimit(pid, RLIMIT_FSIZE, bytes);
}

bool lowerAddressSpace(std::int64_t bytes) {
    rlimit memory{};
    if (getrlimit(RLIMIT_AS, &memory) != 0) {
        return false;
    }
    if (memory.rlim_cur != RLIM_INFINITY && rlim_t(bytes) >= memory.rlim_cur) {
        return true; // already as low
    }
    memory.rlim_cur = memory.rlim_max = rlim_t(bytes);
    return setrlimit(RLIMIT_AS, &memory) == 0;
}

bool lockDown(LockDownResult& result) {
    // Alone: a session and process group of its own (no terminal, no group signal of the
    // viewer's reaches it or is sent in its name), no core dump and not dumpable (its memory
    // cannot be read through /proc by another process of the user's), few descriptors, and
    // memory files no larger than a picture may be (setFileSizeLimit) refused rather than a
    // signal that would kill it.
    setsid();
    const rlimit noCore{0, 0};
    const rlimit fewFiles{maxReaderFiles, maxReaderFiles};
    signal(SIGXFSZ, SIG_IGN);
    if (setrlimit(RLIMIT_CORE, &noCore) != 0 || setrlimit(RLIMIT_NOFILE, &fewFiles) != 0 ||
        prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) != 0 || prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) {
        return false;
    }
    result.landlock = restrictWithLandlock();
    result.seccomp = filterWithSeccomp();
    return true;
}

} // namespace platform::sandbox
