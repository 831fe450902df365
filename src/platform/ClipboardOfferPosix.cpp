// SPDX-License-Identifier: MIT
#include "ClipboardOffer.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImageWriter>
#include <QMimeData>

namespace platform {

namespace {

// A picture offered as PNG and as a bitmap, both written by Qt's built-in writers when another
// program asks. Qt's own offer of an image lists every format of its image plug-ins, and finding
// that list loads them all, with the picture libraries they link, into this process.
class PictureOffer : public QMimeData {
  public:
    explicit PictureOffer(QImage image) : image_(std::move(image)) {}

    QStringList formats() const override {
        return {QStringLiteral("image/png"), QStringLiteral("image/bmp")};
    }
    bool hasFormat(const QString& mimeType) const override {
        return mimeType == QLatin1String("application/x-qt-image") || formats().contains(mimeType);
    }

  protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override {
        if (mimeType == QLatin1String("application/x-qt-image")) {
            return image_; // this process's own paste
        }
        const QByteArray format = mimeType == QLatin1String("image/png")   ? "png"
                                  : mimeType == QLatin1String("image/bmp") ? "bmp"
                                                                           : QByteArray();
        if (format.isEmpty()) {
            return QMimeData::retrieveData(mimeType, type);
        }
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, format);
        return writer.write(image_) ? QVariant(bytes) : QVariant();
    }

  private:
    QImage image_;
};

} // namespace

void offerPicture(const QImage& image) {
    QGuiApplication::clipboard()->setMimeData(new PictureOffer(image));
}

} // namespace platform
