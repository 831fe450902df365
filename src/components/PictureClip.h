// SPDX-License-Identifier: MIT
#pragma once

// The picture clipper: the one store of the source picture at its natural size. A cut is set as
// ClipX, ClipY, ClipWidth, ClipHeight (pixels of the source) and read at once with Clip; it shares
// the source's pixels, so it costs the same whatever its size.

#include "platform/Picture.h"

#include <cstdint>

namespace components {

class PictureClip {
  public:
    const platform::Picture& Picture() const { return picture_; }
    void setPicture(platform::Picture picture) { picture_ = std::move(picture); }

    void setClipX(std::int32_t value) { clipX_ = value; }
    void setClipY(std::int32_t value) { clipY_ = value; }
    void setClipWidth(std::int32_t value) { clipWidth_ = value; }
    void setClipHeight(std::int32_t value) { clipHeight_ = value; }
    std::int32_t ClipX() const { return clipX_; }
    std::int32_t ClipY() const { return clipY_; }
    std::int32_t ClipWidth() const { return clipWidth_; }
    std::int32_t ClipHeight() const { return clipHeight_; }

    // The clip rectangle of Picture, trimmed to the part inside the picture; never reads outside
    // it. An empty result raises the invalid-picture error.
    platform::Picture Clip() const;

  private:
    platform::Picture picture_;
    std::int32_t clipX_ = 0;
    std::int32_t clipY_ = 0;
    std::int32_t clipWidth_ = 0;
    std::int32_t clipHeight_ = 0;
};

} // namespace components
