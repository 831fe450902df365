// SPDX-License-Identifier: MIT
#pragma once

// The bridge to Qt's own readers (PNG, GIF, WebP, ICO, the portable anymaps, XBM, and the rare
// bitmaps our reader leaves). Qt finds them through its plug-in machinery, so this reader only
// runs once the application object exists.

#include "PictureDecoder.h"

namespace platform::decoders {

class QtImageDecoder : public PictureDecoder {
  public:
    using Signature = bool (*)(const QByteArray& head);

    QtImageDecoder(QByteArray format, Signature signature)
        : format_(std::move(format)), signature_(signature) {}

    QByteArray format() const override { return format_; }
    bool recognises(const QByteArray& head) const override {
        return signature_ != nullptr && signature_(head);
    }
    Decoded decode(QFile& file, const DecodeContext& context) const override;

  private:
    QByteArray format_;
    Signature signature_;
};

} // namespace platform::decoders
