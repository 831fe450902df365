// SPDX-License-Identifier: MIT
#pragma once

// The bridge to Qt's own readers (PNG, GIF, WebP, ICO, the portable anymaps, XBM, and the rare
// bitmaps our reader leaves). Qt finds them through its plug-in machinery, so this reader only
// runs once the application object exists.

#include "PictureDecoder.h"

namespace platform::decoders {

class QtImageDecoder : public PictureDecoder {
  public:
    explicit QtImageDecoder(QByteArray format) : format_(std::move(format)) {}

    Decoded decode(QFile& file, const DecodeContext& context) const override;

  private:
    QByteArray format_;
};

} // namespace platform::decoders
