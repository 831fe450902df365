// SPDX-License-Identifier: MIT
#include "HostileReaders.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace testing_support {

QImage crashingReader(int, const DecodeContext&) {
    std::raise(SIGSEGV);
    return {};
}

QImage loopingReader(int, const DecodeContext&) {
    for (std::atomic<unsigned> spin = 0;; spin.fetch_add(1, std::memory_order_relaxed)) {
    }
}

QImage waitingReader(int, const DecodeContext&) {
    for (;;) {
        std::this_thread::sleep_for(std::chrono::hours(1));
    }
}

QImage allocatingReader(int, const DecodeContext&) {
    std::vector<std::unique_ptr<char[]>> taken;
    for (;;) {
        constexpr std::size_t chunk = 64 << 20;
        taken.emplace_back(new char[chunk]);
        std::memset(taken.back().get(), 1, chunk);
    }
}

QImage slowReader(int, const DecodeContext& context) {
    std::this_thread::sleep_for(std::chrono::milliseconds(750));
    QImage image = context.newImage(300, 100, QImage::Format_RGB32);
    image.fill(qRgb(0, 128, 255));
    return image;
}

bool ScriptedProgress::showUntil(const QString& fileName, const std::function<bool()>& finished) {
    shown << fileName;
    while (!cancels_ && !finished()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return !cancels_;
}

} // namespace testing_support
