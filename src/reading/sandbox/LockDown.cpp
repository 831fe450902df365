// SPDX-License-Identifier: MIT
#include "LockDown.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <initializer_list>
#include <linux/landlock.h>
#include <sched.h>
#include <seccomp.h>
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

// Refused outright: opening or making anything in the file system, sockets, running programs,
// making processes, reaching into other processes, and the kernel interfaces that can do any of
// that by another way (io_uring opens files, mounts and namespaces change what paths mean).
constexpr const char* refused[] = {
    "open",
    "openat",
    "openat2",
    "creat",
    "open_by_handle_at",
    "name_to_handle_at",
    "open_tree",
    "move_mount",
    "fsopen",
    "fsconfig",
    "fsmount",
    "fspick",
    "mount",
    "umount2",
    "pivot_root",
    "chroot",
    "unshare",
    "setns",
    "mkdir",
    "mkdirat",
    "rmdir",
    "unlink",
    "unlinkat",
    "rename",
    "renameat",
    "renameat2",
    "link",
    "linkat",
    "symlink",
    "symlinkat",
    "mknod",
    "mknodat",
    "chmod",
    "fchmodat",
    "chown",
    "lchown",
    "fchownat",
    "truncate",
    "utime",
    "utimes",
    "utimensat",
    "futimesat",
    "socket",
    "socketpair",
    "connect",
    "bind",
    "listen",
    "accept",
    "accept4",
    "execve",
    "execveat",
    "fork",
    "vfork",
    "ptrace",
    "process_vm_readv",
    "process_vm_writev",
    "process_madvise",
    "kcmp",
    "pidfd_open",
    "pidfd_getfd",
    "pidfd_send_signal",
    "tkill",
    "io_uring_setup",
    "io_uring_enter",
    "io_uring_register",
    "bpf",
    "perf_event_open",
    "userfaultfd",
    "keyctl",
    "add_key",
    "request_key",
    "fanotify_init",
    "inotify_init",
    "inotify_init1",
    "kexec_load",
    "kexec_file_load",
    "init_module",
    "finit_module",
    "delete_module",
    "reboot",
    "swapon",
    "swapoff",
    "acct",
    "quotactl",
};

bool addRefusal(scmp_filter_ctx filter, const char* name, unsigned count = 0,
                const scmp_arg_cmp* comparison = nullptr) {
    const int number = seccomp_syscall_resolve_name(name);
    if (number == __NR_SCMP_ERROR) {
        return true; // not a system call of this architecture
    }
    const int added = count == 0 ? seccomp_rule_add(filter, SCMP_ACT_ERRNO(EPERM), number, 0)
                                 : seccomp_rule_add_array(filter, SCMP_ACT_ERRNO(EPERM), number,
                                                          count, comparison);
    return added == 0;
}

// The filter, for signals to `self` only.
scmp_filter_ctx buildFilter(scmp_datum_t self) {
    scmp_filter_ctx filter = seccomp_init(SCMP_ACT_ALLOW);
    if (filter == nullptr) {
        return nullptr;
    }
    bool built = true;
    for (const char* name : refused) {
        built = built && addRefusal(filter, name);
    }
    // Threads stay allowed (libjxl, libavif's AV1 decoder and libheif's HEVC decoder start
    // some); a clone without CLONE_THREAD would be a process.
    const scmp_arg_cmp process = SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, 0);
    built = built && addRefusal(filter, "clone", 1, &process);
    // clone3 passes its flags in memory, which a filter cannot read: "not implemented" makes
    // glibc fall back to clone, whose flags it can.
    built = built && seccomp_rule_add(filter, SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(clone3), 0) == 0;
    // Signals only to the reader itself (abort and raise use these); kill(-1) would reach every
    // process of the user.
    const scmp_arg_cmp others = SCMP_A0(SCMP_CMP_NE, self);
    for (const char* name : {"kill", "tgkill", "rt_sigqueueinfo", "rt_tgsigqueueinfo"}) {
        built = built && addRefusal(filter, name, 1, &others);
    }
    // Another process of the user can have its limits, scheduling and memory placement changed
    // without any privilege: a reader lowering the viewer's memory or descriptor limits would
    // crash it. Only the reader's own (process id 0, which is what glibc passes) stay allowed,
    // and priorities, which may name a whole process group or user, not at all.
    const scmp_arg_cmp notSelf = SCMP_A0(SCMP_CMP_NE, 0);
    for (const char* name : {"prlimit64", "sched_setaffinity", "sched_setscheduler",
                             "sched_setparam", "sched_setattr", "migrate_pages", "move_pages"}) {
        built = built && addRefusal(filter, name, 1, &notSelf);
    }
    for (const char* name : {"setpriority", "ioprio_set"}) {
        built = built && addRefusal(filter, name);
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

bool boundAddressSpace(int pid, std::int64_t bytes) {
    const auto bound = rlim_t(bytes);
    const rlimit memory{bound, bound};
    return prlimit(pid, RLIMIT_AS, &memory, nullptr) == 0;
}

bool lockDown(LockDownResult& result) {
    const rlimit noCore{0, 0}; // a crashing reader leaves no copy of its memory behind
    setrlimit(RLIMIT_CORE, &noCore);
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) {
        return false;
    }
    result.landlock = restrictWithLandlock();
    result.seccomp = filterWithSeccomp();
    return true;
}

} // namespace platform::sandbox
