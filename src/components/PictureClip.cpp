// SPDX-License-Identifier: MIT
#include "PictureClip.h"

namespace components {

platform::Picture PictureClip::Clip() const {
    return picture_.cut(clipX_, clipY_, clipWidth_, clipHeight_);
}

} // namespace components
