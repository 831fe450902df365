// SPDX-License-Identifier: MIT
#pragma once

#include "Services.h"

namespace platform {

// Writes pictures as Windows bitmap files. The file is written beside its target and renamed
// over it only when complete, so a failed write never destroys an existing file.
class BmpFileSaver : public PictureSaver {
  public:
    void savePicture(const Picture& picture, const QString& path) override;
};

} // namespace platform
