// SPDX-License-Identifier: MIT
#pragma once

// The services the handlers reach outside the form. Each has a real implementation on the
// toolkit; tests give a scripted double only where a person would answer (message boxes).

#include "Picture.h"

#include <QSize>
#include <QString>
#include <cstdint>

namespace platform {

// Reads a picture file. Raises PlatformError when the file is missing, unreadable or not a
// picture it reads.
class PictureLoader {
  public:
    virtual ~PictureLoader() = default;
    virtual Picture loadPicture(const QString& path) = 0;
};

// Writes a picture as a Windows bitmap file under exactly the given name.
class PictureSaver {
  public:
    virtual ~PictureSaver() = default;
    virtual void savePicture(const Picture& picture, const QString& path) = 0;
};

class Clipboard {
  public:
    virtual ~Clipboard() = default;
    // Replaces the clipboard's contents with the picture, as a device-independent bitmap. The
    // old contents stay when it fails.
    virtual void setData(const Picture& picture) = 0;
};

class Printer {
  public:
    virtual ~Printer() = default;
    // The number of copies of the document being printed.
    virtual void setCopies(std::int16_t copies) = 0;
    virtual std::int16_t copies() const = 0;
    // Draws the picture at its own size with its top-left corner at (x, y) twips on the page.
    virtual void paintPicture(const Picture& picture, float x, float y) = 0;
    // Ends the document and sends it to the printer.
    virtual void endDoc() = 0;
};

enum class MessageIcon { None, Critical };

class MessageBoxService {
  public:
    virtual ~MessageBoxService() = default;
    // A modal message with a single OK button; returns when the user closes it.
    virtual void show(const QString& text, const QString& title, MessageIcon icon) = 0;
};

// The command-line argument text: everything after the program's own name, as one string.
class CommandLine {
  public:
    virtual ~CommandLine() = default;
    virtual QString text() const = 0;
};

// The part of the screen a window may cover (the screen less its panels and docks), in the
// screen's device-independent pixels: of the screen the window is on, or is going to be on.
class ScreenArea {
  public:
    virtual ~ScreenArea() = default;
    virtual QSize availablePixels() const = 0;
};

// A screen of a fixed size; by default larger than any window.
class FixedScreenArea : public ScreenArea {
  public:
    explicit FixedScreenArea(QSize pixels = QSize(1 << 24, 1 << 24)) : pixels_(pixels) {}
    QSize availablePixels() const override { return pixels_; }
    void setAvailablePixels(QSize pixels) { pixels_ = pixels; }

  private:
    QSize pixels_;
};

} // namespace platform
