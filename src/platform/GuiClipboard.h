// SPDX-License-Identifier: MIT
#pragma once

#include "Services.h"

namespace platform {

// The system clipboard. Qt offers a picture put on it in the usual image formats, the
// device-independent bitmap among them on Windows.
class GuiClipboard : public Clipboard {
  public:
    void setData(const Picture& picture) override;
};

} // namespace platform
