// SPDX-License-Identifier: MIT
// The built program started as a file manager starts it, many times over, with every kind of
// file people open: each launch must show its picture (or, for a file it cannot read, the
// start-up message) and then end by the signal it is sent (SIGTERM or SIGKILL, in turns), never
// die on its own, and leave no process behind (its picture readers' helper and readers). The
// viewer's own process must never map a picture library: they belong to the readers. Then one
// round with a copy of the program whose AVIF module is broken and whose HEIF module is gone:
// those two formats give the start-up message, every other one still shows.
// Usage: kelmo_launch_test KELMO_BINARY [LAUNCHES_PER_KIND]; needs an X display (Xvfb).

#include "support/BmpFiles.h"
#include "support/PictureEncoders.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QTemporaryDir>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Kind {
    std::string name;
    QString path;
    bool message; // a file Kelmo cannot read: the start-up message shows first
};

std::vector<Kind> writeFiles(const QTemporaryDir& dir) {
    QImage picture(320, 240, QImage::Format_RGB32);
    picture.fill(qRgb(255, 0, 255));
    const QImage icon = picture.copy(0, 0, 256, 256);
    const std::vector<std::pair<std::string, QByteArray>> files = {
        {"foto.png", testing_support::encoded(picture, "png")},
        {"foto.jpg", testing_support::encoded(picture, "jpeg")},
        {"foto.gif", testing_support::makeGif(320, 240)},
        {"foto.webp", testing_support::encoded(picture, "webp")},
        {"icono.ico", testing_support::encoded(icon, "ico")},
        {"foto.bmp", testing_support::encoded(picture, "bmp")},
        {"foto.avif", testing_support::encodeAvif(picture)},
        {"foto.heic", testing_support::encodeHeic(picture)},
        {"foto.jxl", testing_support::encodeJxl(picture)},
        {"no-es-imagen.png", QByteArray("Esto no es una imagen.\n")},
    };
    std::vector<Kind> kinds;
    for (const auto& [name, bytes] : files) {
        QFile file(dir.filePath(QString::fromStdString(name)));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() ||
            bytes.isEmpty()) {
            std::fprintf(stderr, "could not write %s\n", name.c_str());
            std::exit(2);
        }
        kinds.push_back({name, file.fileName(), name.starts_with("no-es")});
    }
    kinds.push_back({"falta.jpg", dir.filePath(QStringLiteral("falta.jpg")), true});
    return kinds;
}

// A launch that ends while its windows are looked at takes them with it: the request about a
// window gone fails, which is an answer ("not shown"), not a reason to end the test.
int windowGone(Display*, XErrorEvent*) {
    return 0;
}

class XScreenWatch {
  public:
    XScreenWatch() : display_(XOpenDisplay(nullptr)) { XSetErrorHandler(windowGone); }
    ~XScreenWatch() {
        if (display_ != nullptr) {
            XCloseDisplay(display_);
        }
    }
    bool open() const { return display_ != nullptr; }

    // Whether a window of the process is on the screen and painted: a dialog when `dialog`,
    // the main window otherwise.
    bool shows(pid_t pid, bool dialog) {
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count) ==
            0) {
            return false;
        }
        bool found = false;
        for (unsigned int i = 0; i < count && !found; ++i) {
            found = cardinal(children[i], "_NET_WM_PID") == std::optional<long>(pid) &&
                    isDialog(children[i]) == dialog && painted(children[i]);
        }
        XFree(children);
        return found;
    }

  private:
    std::optional<long> cardinal(Window window, const char* name) {
        Atom type = 0;
        int format = 0;
        unsigned long items = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        const Atom property = XInternAtom(display_, name, False);
        std::optional<long> value;
        if (XGetWindowProperty(display_, window, property, 0, 1, False, AnyPropertyType, &type,
                               &format, &items, &after, &data) == Success &&
            data != nullptr && items == 1 && format == 32) {
            value = *reinterpret_cast<long*>(data);
        }
        if (data != nullptr) {
            XFree(data);
        }
        return value;
    }
    bool isDialog(Window window) {
        const std::optional<long> type = cardinal(window, "_NET_WM_WINDOW_TYPE");
        return type && Atom(*type) == XInternAtom(display_, "_NET_WM_WINDOW_TYPE_DIALOG", False);
    }
    // Viewable, and most of a grid of its pixels is no longer the black of an unpainted window.
    bool painted(Window window) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display_, window, &attributes) == 0 ||
            attributes.map_state != IsViewable || attributes.width < 16 || attributes.height < 16) {
            return false;
        }
        XImage* image = XGetImage(display_, window, 0, 0, unsigned(attributes.width),
                                  unsigned(attributes.height), AllPlanes, ZPixmap);
        if (image == nullptr) {
            return false;
        }
        int lit = 0;
        for (int gy = 1; gy <= 4; ++gy) {
            for (int gx = 1; gx <= 4; ++gx) {
                lit += (XGetPixel(image, attributes.width * gx / 5, attributes.height * gy / 5) &
                        0xffffff) != 0;
            }
        }
        XDestroyImage(image);
        return lit >= 12;
    }

    Display* display_;
};

std::string readAll(const std::string& path) {
    std::string text;
    if (FILE* f = std::fopen(path.c_str(), "r")) {
        char buffer[4096];
        size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
            text.append(buffer, n);
        }
        std::fclose(f);
    }
    return text;
}

// Waits up to `seconds` for the process to end; its wait status, or nothing.
std::optional<int> reap(pid_t pid, double seconds) {
    const auto until = Clock::now() + std::chrono::duration<double>(seconds);
    int status = 0;
    while (Clock::now() < until) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            return status;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return std::nullopt;
}

// The first picture library, or format module, that the process maps; empty when none.
std::string mappedPictureLibrary(pid_t pid) {
    const std::string maps = readAll("/proc/" + std::to_string(pid) + "/maps");
    for (const char* library :
         {"libjpeg", "libavif", "libheif", "libjxl", "liblcms2", "libwebp", "libsharpyuv",
          "libdeflate", "libdav1d", "libaom", "librav1e", "libSvtAv1", "libgav1", "libabsl",
          "libyuv", "libx265", "libde265", "libhwy", "/kelmo-"}) {
        if (maps.find(library) != std::string::npos) {
            return library;
        }
    }
    return {};
}

// The processes the viewer left behind, still there two seconds after it ended: this test is
// their subreaper, so they become its children when the viewer goes.
std::string leftBehind() {
    const auto until = Clock::now() + std::chrono::seconds(2);
    std::string children;
    do {
        while (waitpid(-1, nullptr, WNOHANG) > 0) {
        }
        children.clear();
        if (DIR* tasks = opendir("/proc/self/task")) {
            while (const dirent* task = readdir(tasks)) {
                if (task->d_name[0] != '.') {
                    children +=
                        readAll(std::string("/proc/self/task/") + task->d_name + "/children");
                }
            }
            closedir(tasks);
        }
        if (children.empty()) {
            return {};
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (Clock::now() < until);
    return children;
}

// One launch; an empty string when it went as it should, what went wrong otherwise.
std::string launch(XScreenWatch& screen, const std::string& kelmo, const Kind& kind,
                   const std::string& log, double timeout, int endSignal) {
    const QByteArray path = QFile::encodeName(kind.path);
    const pid_t pid = fork();
    if (pid == 0) {
        const int err = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(err, STDERR_FILENO);
        setenv("QT_QPA_PLATFORM", "xcb", 1); // the suite runs on the offscreen platform
        // Without a session bus, Qt's D-Bus library may start one of its own (where dbus-launch
        // is installed), which would outlive the launch: a desktop session always has one.
        if (std::getenv("DBUS_SESSION_BUS_ADDRESS") == nullptr) {
            setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/kelmo-launch-test", 1);
        }
        execl(kelmo.c_str(), kelmo.c_str(), path.constData(), static_cast<char*>(nullptr));
        _exit(127);
    }
    const auto until = Clock::now() + std::chrono::duration<double>(timeout);
    bool shown = false;
    std::optional<int> early;
    while (!shown && Clock::now() < until) {
        if ((early = reap(pid, 0.005))) {
            break;
        }
        shown = screen.shows(pid, kind.message);
    }
    std::string fault;
    if (const std::string library = mappedPictureLibrary(pid); shown && !library.empty()) {
        fault = "the viewer's own process maps " + library;
    }
    std::optional<int> status = early;
    if (!early) {
        kill(pid, endSignal);
        status = reap(pid, timeout);
        if (!status) {
            kill(pid, SIGKILL);
            status = reap(pid, 5);
            fault = "did not end on SIGTERM";
        }
    }
    if (status && WIFSIGNALED(*status) && WTERMSIG(*status) != endSignal) {
        fault = "died of signal " + std::to_string(WTERMSIG(*status));
    } else if (status && WIFEXITED(*status)) {
        fault = "exited with status " + std::to_string(WEXITSTATUS(*status)) + " on its own";
    } else if (fault.empty() && !shown) {
        fault = kind.message ? "the start-up message never showed" : "the picture never showed";
    }
    if (const std::string left = leftBehind(); fault.empty() && !left.empty()) {
        fault = "left processes behind: " + left;
    }
    const std::string errors = readAll(log);
    for (const char* report : {"ThreadSanitizer", "AddressSanitizer", "runtime error:"}) {
        if (fault.empty() && errors.find(report) != std::string::npos) {
            fault = std::string("reported by ") + report;
        }
    }
    if (!fault.empty() && !errors.empty()) {
        fault += "\n" + errors;
    }
    return fault;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s KELMO_BINARY [LAUNCHES_PER_KIND]\n", argv[0]);
        return 2;
    }
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    QCoreApplication application(argc, argv); // Qt's WebP and icon writers are plug-ins
    const std::string kelmo = argv[1];
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 20;
    const char* slow = std::getenv("KELMO_LAUNCH_TIMEOUT_S");
    const double timeout = slow != nullptr ? std::atof(slow) : 15.0;
    XScreenWatch screen;
    if (!screen.open()) {
        std::fprintf(stderr, "no X display\n");
        return 2;
    }
    const QTemporaryDir dir;
    const std::vector<Kind> kinds = writeFiles(dir);
    const std::string log = dir.filePath(QStringLiteral("stderr.txt")).toStdString();
    int passed = 0;
    int failed = 0;
    for (int round = 0; round < rounds; ++round) {
        for (const Kind& kind : kinds) {
            const int endSignal = round % 2 == 0 ? SIGTERM : SIGKILL;
            const std::string fault = launch(screen, kelmo, kind, log, timeout, endSignal);
            if (fault.empty()) {
                ++passed;
            } else {
                ++failed;
                std::printf("launch %d with %s: %s\n", round + 1, kind.name.c_str(), fault.c_str());
            }
        }
    }
    // A copy of the program with a broken and a missing module.
    const QString copy = dir.filePath(QStringLiteral("kopia"));
    const QString formats = QFileInfo(QString::fromStdString(kelmo)).dir().filePath("formats");
    QDir().mkpath(copy + QStringLiteral("/formats/qt-plugins"));
    bool copied = QFile::copy(QString::fromStdString(kelmo), copy + QStringLiteral("/kelmo"));
    for (const QString& module : QDir(formats).entryList({QStringLiteral("kelmo-*.so")})) {
        if (module != QStringLiteral("kelmo-heif.so")) {
            copied &=
                QFile::copy(formats + '/' + module, copy + QStringLiteral("/formats/") + module);
        }
    }
    const QDir links(formats + QStringLiteral("/qt-plugins"));
    for (const QFileInfo& link : links.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
        copied &= QFile::link(link.symLinkTarget(),
                              copy + QStringLiteral("/formats/qt-plugins/") + link.fileName());
    }
    QFile broken(copy + QStringLiteral("/formats/kelmo-avif.so"));
    copied &= broken.open(QIODevice::WriteOnly | QIODevice::Truncate) && broken.write("roto") == 4;
    broken.close();
    if (!copied) {
        std::fprintf(stderr, "could not make the copy with broken modules\n");
        return 2;
    }
    for (Kind kind : kinds) {
        kind.message = kind.message || kind.name == "foto.avif" || kind.name == "foto.heic";
        const std::string fault = launch(screen, (copy + QStringLiteral("/kelmo")).toStdString(),
                                         kind, log, timeout, SIGTERM);
        if (fault.empty()) {
            ++passed;
        } else {
            ++failed;
            std::printf("launch with broken modules, %s: %s\n", kind.name.c_str(), fault.c_str());
        }
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
