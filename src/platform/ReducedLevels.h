// SPDX-License-Identifier: MIT
#pragma once

// Halved copies of a picture's pixels (1/2, 1/4, ... of each side), area-averaged, for drawing
// the picture reduced by more than half without aliasing and at a cost that follows the view,
// not the picture. Built once per picture, on first use or in the background, and shared by
// every cut of it; together they take at most a third more memory than the picture.

#include <QImage>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace platform {

class ReducedLevels : public std::enable_shared_from_this<ReducedLevels> {
  public:
    explicit ReducedLevels(QImage base) : base_(std::move(base)) {}

    // Level 0 is the picture itself; level k has sides of ceil(side / 2^k). Builds what is
    // missing before it returns.
    QImage level(int k);
    // Level k if it is built already, otherwise the deepest level built below it; *got says
    // which level that is. Never waits for a build.
    QImage builtLevel(int k, int* got) const;
    // Builds the levels up to k on a worker thread, unless a build is under way, and calls done
    // (on that thread) when they are there.
    void buildInBackground(int k, std::function<void()> done);

    // The deepest level worth building: one that still has more than one pixel on a side.
    int deepest() const;
    int built() const;

    // One area-averaged halving: every pixel is the mean of a 2 × 2 block (edges repeat).
    static QImage halve(const QImage& image);

  private:
    bool buildNext(int k); // one more level towards k; false when there is nothing left to do

    QImage base_;
    mutable std::mutex mutex_;
    std::vector<QImage> levels_; // levels_[k - 1] is level k
    bool building_ = false;
};

} // namespace platform
