// SPDX-License-Identifier: MIT
#pragma once

// The picture loader: the file's content picks one of the readers in decoders/ (the only formats
// read), under a memory bound; the picture is then turned upright, converted to sRGB and put in
// the format the raster engine draws fastest, once, here. The file is opened here and read in a
// locked-down reader process (sandbox/ReaderProcess.h): this is the only way to it.

#include "platform/Frames.h"
#include "platform/ReadProgress.h"
#include "platform/Services.h"
#include "sandbox/ReaderProcess.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <chrono>
#include <future>
#include <optional>
#include <stop_token>

namespace platform {

// Where the readers run: in reader processes (the program), or in this one (the fuzzer, the
// benchmarks' comparison, and Windows).
enum class ReadPlace { Reader, InProcess };

class ImageFileLoader : public PictureLoader, public FrameSource {
  public:
    // limitMegabytes bounds the decoded size of one picture.
    explicit ImageFileLoader(int limitMegabytes = machineLimitMegabytes(),
                             ReadPlace place = ReadPlace::Reader);
    // Where the reads happen: in this process wherever there is no reader process.
    ReadPlace place() const { return place_; }
    // On the main thread: the wait cursor, and after half a second the progress window, whose
    // "Cancelar" ends the read with the DialogCancelled error.
    Picture loadPicture(const QString& path) override;
    // The same without cursor or window, on any thread once the application object exists; reads
    // on several threads run at the same time. A stop request ends the read with the
    // DialogCancelled error: at once in a reader process, when the reading ends in this one.
    Picture readPicture(const QString& path) const;
    Picture readPicture(const QString& path, std::stop_token stop) const;
    // The same leaving room within the bound for heldBytes of pictures already held, for reading
    // a picture ahead of time.
    Picture readPictureBeside(const QString& path, qint64 heldBytes, std::stop_token stop) const;
    // The frames of an animation, read where pictures are read, under the same bound for each
    // frame (ImageFrames.cpp). A file that cannot be opened gives no frames.
    std::unique_ptr<FrameStream> openFrames(const QString& path, std::stop_token stop) override;
    // What may be read while the application object is being built, on any thread: the picture
    // where our own readers read it (in this process, only the bitmap reader); for Qt's formats
    // nothing (the system is asked to read the file into its cache meanwhile). Errors as
    // readPicture.
    std::optional<Picture> readEarly(const QString& path, std::stop_token stop = {}) const;
    // Waits on the main thread for a read begun on another thread, with the progress window after
    // half a second; its "Cancelar" stops the read. The read's result or error.
    std::optional<Picture> await(std::future<std::optional<Picture>>& read, std::stop_source& stop,
                                 const QString& path) const;

    // Starts the helper that forks the readers: first thing in main, before any thread exists.
    static bool startReaders();
    void setProgress(ReadProgress* progress) { progress_ = progress; }
    // What the reader runs instead of the picture readers (tests give hostile ones), and how long
    // it may take (a minute).
    void setReaderFunction(sandbox::ReaderFunction function) { function_ = function; }
    void setTimeLimit(std::chrono::milliseconds limit) { timeLimit_ = limit; }

    // The formats read, recognised by their content (see decoders/PictureDecoder.h).
    static QList<QByteArray> allowedFormats();
    // The name patterns of those formats ("*.jpg"...): the open dialog's filter and the names
    // gone through in a folder.
    static QStringList readablePatterns();
    // The folder of links to Qt's plug-ins without its image plug-ins (see keepImagePluginsOut).
    static QString qtPluginLinks();
    // For a program that reads in its own process: the readers linked into it, not the modules
    // (defined with them, in kelmo_linked_formats).
    static void useLinkedReaders();
    // Half the machine's memory: every picture that can be held opens, and a header that claims
    // more is refused before anything is allocated.
    static int machineLimitMegabytes();
    int limitMegabytes() const { return limitMegabytes_; }

  private:
    std::optional<Picture> read(const QString& path, bool early, qint64 maxBytes,
                                std::stop_token stop) const;
    std::optional<Picture> readInReader(const QString& path, int fd, bool early, qint64 maxBytes,
                                        std::stop_token stop) const;
    qint64 limitBytes() const { return qint64(limitMegabytes_) * 1024 * 1024; }

    int limitMegabytes_;
    ReadPlace place_;
    sandbox::ReaderFunction function_ = nullptr; // null: the picture readers
    std::chrono::milliseconds timeLimit_{std::chrono::minutes(1)};
    ReadProgress* progress_ = nullptr;
};

// How a background reader reads through this loader: beside the pictures already held, in the
// reader process, ended at once when no longer wanted.
inline auto readingBeside(const ImageFileLoader& loader) {
    return [&loader](const QString& path, qint64 heldBytes, std::stop_token unwanted) {
        return loader.readPictureBeside(path, heldBytes, std::move(unwanted));
    };
}

} // namespace platform
