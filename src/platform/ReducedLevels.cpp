// SPDX-License-Identifier: MIT
#include "ReducedLevels.h"

#include "QueueHandOff.h"

#include <QThreadPool>
#include <algorithm>

namespace platform {

namespace {

// The mean of four 32-bit pixels, channel by channel, rounded: two channels at a time in the
// spare bits between them.
inline quint32 mean4(quint32 a, quint32 b, quint32 c, quint32 d) {
    constexpr quint32 low = 0x00ff00ffu;
    const quint32 lo = (a & low) + (b & low) + (c & low) + (d & low) + 0x00020002u;
    const quint32 hi =
        ((a >> 8) & low) + ((b >> 8) & low) + ((c >> 8) & low) + ((d >> 8) & low) + 0x00020002u;
    return ((lo >> 2) & low) | (((hi >> 2) & low) << 8);
}

// Marks the builds handed to Qt's pool (see QueueHandOff.h).
const char handOffToken = 0;

} // namespace

QImage ReducedLevels::halve(const QImage& image) {
    const int w = image.width();
    const int h = image.height();
    QImage out((w + 1) / 2, (h + 1) / 2, image.format());
    if (out.isNull()) {
        return out;
    }
    for (int y = 0; y < out.height(); ++y) {
        const auto* top = reinterpret_cast<const quint32*>(image.constScanLine(2 * y));
        const auto* bottom =
            reinterpret_cast<const quint32*>(image.constScanLine(std::min(2 * y + 1, h - 1)));
        auto* line = reinterpret_cast<quint32*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const int x0 = 2 * x;
            const int x1 = std::min(x0 + 1, w - 1);
            line[x] = mean4(top[x0], top[x1], bottom[x0], bottom[x1]);
        }
    }
    return out;
}

int ReducedLevels::deepest() const {
    int k = 0;
    for (int side = std::max(base_.width(), base_.height()); side > 1; side = (side + 1) / 2) {
        ++k;
    }
    return k;
}

int ReducedLevels::built() const {
    const std::lock_guard lock(mutex_);
    return int(levels_.size());
}

bool ReducedLevels::buildNext(int k) {
    QImage previous;
    std::size_t have = 0;
    {
        const std::lock_guard lock(mutex_);
        have = levels_.size();
        if (int(have) >= k) {
            return false;
        }
        previous = have == 0 ? base_ : levels_.back();
    }
    // The halving runs unlocked: levels once published are never written again.
    QImage next = halve(previous);
    if (next.isNull()) {
        return false; // no memory for it: drawing uses the deepest level there is
    }
    const std::lock_guard lock(mutex_);
    if (levels_.size() == have) {
        levels_.push_back(std::move(next));
    }
    return true;
}

QImage ReducedLevels::level(int k) {
    k = std::clamp(k, 0, deepest());
    while (buildNext(k)) {
    }
    int got = 0;
    return builtLevel(k, &got);
}

QImage ReducedLevels::builtLevel(int k, int* got) const {
    const std::lock_guard lock(mutex_);
    *got = std::clamp(k, 0, int(levels_.size()));
    return *got == 0 ? base_ : levels_[std::size_t(*got - 1)];
}

void ReducedLevels::buildInBackground(int k, std::function<void()> done) {
    {
        const std::lock_guard lock(mutex_);
        if (building_) {
            return;
        }
        building_ = true;
    }
    k = std::clamp(k, 0, deepest());
    QRunnable* build = QRunnable::create([self = shared_from_this(), k, done = std::move(done)] {
        takeOver(&handOffToken); // before the captures are read
        while (self->buildNext(k)) {
        }
        {
            const std::lock_guard lock(self->mutex_);
            self->building_ = false;
        }
        done();
    });
    handOver(&handOffToken);
    QThreadPool::globalInstance()->start(build);
}

} // namespace platform
