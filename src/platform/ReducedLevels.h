#pragma once

// Halved copies of a picture's pixels (1/2, 1/4, ... of each side), area-averaged, for drawing
// the picture reduced by more than half without aliasing and at a cost that follows the view,
// not the picture. Built on first use, once per picture, and shared by every cut of it; together
// they take at most a third more memory than the picture.

#include <QImage>
#include <vector>

namespace platform {

class ReducedLevels {
  public:
    explicit ReducedLevels(QImage base) : base_(std::move(base)) {}

    // Level 0 is the picture itself; level k has sides of ceil(side / 2^k).
    const QImage& level(int k);
    // The deepest level worth building: one that still has more than one pixel on a side.
    int deepest() const;
    int built() const { return int(levels_.size()); }

    // One area-averaged halving: every pixel is the mean of a 2 × 2 block (edges repeat).
    static QImage halve(const QImage& image);

  private:
    QImage base_;
    std::vector<QImage> levels_; // levels_[k - 1] is level k
};

} // namespace platform
