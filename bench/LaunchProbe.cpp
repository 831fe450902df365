// SPDX-License-Identifier: MIT
// Measures launch to picture on screen as a person sees it: starts a viewer, then polls one pixel
// of the X screen until it has the picture's colour (within 32 a channel), and prints the
// milliseconds that took.
// Usage: kelmo_launch_probe X Y RRGGBB TIMEOUT_MS -- command [arguments...]

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 7 || std::strcmp(argv[5], "--") != 0) {
        std::fprintf(stderr, "usage: %s X Y RRGGBB TIMEOUT_MS -- command...\n", argv[0]);
        return 2;
    }
    const int x = std::atoi(argv[1]);
    const int y = std::atoi(argv[2]);
    const unsigned long colour = std::strtoul(argv[3], nullptr, 16);
    const int timeoutMs = std::atoi(argv[4]);
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "no X display\n");
        return 2;
    }
    const Window root = DefaultRootWindow(display);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        // A viewer that traces its start-up measures from the same moment as we do.
        const auto ns =
            std::chrono::duration_cast<std::chrono::nanoseconds>(start.time_since_epoch()).count();
        setenv("KELMO_LAUNCHED_AT_NS", std::to_string(ns).c_str(), 1);
        execvp(argv[6], argv + 6);
        _exit(127);
    }
    double found = -1;
    for (;;) {
        const double elapsed =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        if (elapsed > timeoutMs) {
            break;
        }
        XImage* image = XGetImage(display, root, x, y, 1, 1, AllPlanes, ZPixmap);
        if (image != nullptr) {
            const unsigned long pixel = XGetPixel(image, 0, 0) & 0xffffff;
            XDestroyImage(image);
            // Within 32 of the colour in every channel: a JPEG's colours are near, not exact.
            bool close = true;
            for (int shift = 0; shift < 24; shift += 8) {
                const long a = long((pixel >> shift) & 0xff);
                const long b = long((colour >> shift) & 0xff);
                close = close && std::labs(a - b) <= 32;
            }
            if (close) {
                found = elapsed;
                break;
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(250));
    }
    // With KELMO_PROBE_LINGER_MS set, the viewer lives on that long after its picture showed,
    // long enough to print its own start-up trace.
    if (const char* linger = std::getenv("KELMO_PROBE_LINGER_MS");
        linger != nullptr && found >= 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(linger)));
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    XCloseDisplay(display);
    if (found < 0) {
        std::printf("timeout\n");
        return 1;
    }
    std::printf("%.1f\n", found);
    return 0;
}
