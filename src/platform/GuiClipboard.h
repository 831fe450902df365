// SPDX-License-Identifier: MIT
#pragma once

#include "Services.h"

namespace platform {

// The system clipboard: a picture put on it is offered as PNG and as a bitmap (on Windows, in
// the formats Qt offers, the device-independent bitmap among them).
class GuiClipboard : public Clipboard {
  public:
    void setData(const Picture& picture) override;
};

} // namespace platform
