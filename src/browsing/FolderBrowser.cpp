// SPDX-License-Identifier: MIT
#include "FolderBrowser.h"

#include <QFileInfo>

namespace browsing {

FolderBrowser::FolderBrowser(app::KelmoModel& model, loading::PictureOpener& opener)
    : m_(model), opener_(opener) {}

void FolderBrowser::pictureShown(bool readAheadNow) {
    if (m_.shownFile.isEmpty()) {
        folder_.reset();
        folderPath_.clear();
        dropReadAhead();
        return;
    }
    const QFileInfo shown(m_.shownFile);
    if (folderPath_ != shown.absolutePath()) {
        dropReadAhead();
        folder_.reset();
        folderPath_ = shown.absolutePath();
        direction_ = 1;
    }
    position_ = shown.fileName();
    if (readAheadNow) {
        readAhead();
    }
}

PictureFolder& FolderBrowser::folder() {
    // Made on first use, not when the picture is shown: its collation and its watch on the
    // folder (whose cost grows with the folder) would otherwise delay the start-up's first frame.
    if (!folder_) {
        folder_ = std::make_unique<PictureFolder>(m_.shownFile);
    }
    return *folder_;
}

void FolderBrowser::dropReadAhead() {
    m_.services.backgroundReader.cancel();
    reading_.reset();
    wanted_.reset();
    readAhead_.reset();
}

std::optional<qsizetype> FolderBrowser::step(int direction) {
    const QStringList& names = folder().names();
    const qsizetype place = folder().placeOf(position_);
    const bool here = place < names.size() && names.at(place) == position_;
    // A position whose file has gone stands between its neighbours.
    const qsizetype to = direction > 0 ? (here ? place + 1 : place) : place - 1;
    if (to < 0 || to >= names.size()) {
        return std::nullopt;
    }
    return to;
}

std::optional<qsizetype> FolderBrowser::target(Move move) {
    const QStringList& names = folder().names();
    switch (move) {
    case Move::Next:
        return step(1);
    case Move::Previous:
        return step(-1);
    case Move::First:
    case Move::Last:
        if (names.isEmpty()) {
            return std::nullopt;
        }
        const qsizetype to = move == Move::First ? 0 : names.size() - 1;
        if (names.at(to) == position_) {
            return std::nullopt; // already there
        }
        return to;
    }
    return std::nullopt;
}

void FolderBrowser::go(Move move) {
    if (folderPath_.isEmpty()) {
        return; // the built-in picture has no folder
    }
    const std::optional<qsizetype> to = target(move);
    if (!to) {
        return; // at an end: no wrapping round
    }
    // From the first picture the way on is forwards, from the last backwards.
    direction_ = move == Move::Next || move == Move::First ? 1 : -1;
    position_ = folder().names().at(*to);
    const QString path = folder().pathOf(*to);
    if (readAhead_ && readAhead_->path == path) {
        const platform::ReadResult ready = std::move(*readAhead_);
        dropReadAhead();
        show(ready);
        return;
    }
    wanted_ = path;
    if (!reading_ || reading_->path != path) {
        read(path, false);
    }
}

void FolderBrowser::read(const QString& path, bool ahead) {
    readAhead_.reset();
    reading_ = Read{path, ahead};
    // A read ahead leaves room for the picture shown; the picture wanted now may have it all.
    const qint64 held = ahead ? qint64(m_.PictureClip.Picture().pixels().sizeInBytes()) : 0;
    m_.services.backgroundReader.start(path, held, [this](platform::ReadResult result) {
        m_.window.runHandler([&] { arrived(std::move(result)); });
    });
}

void FolderBrowser::arrived(platform::ReadResult result) {
    const Read done = *reading_;
    reading_.reset();
    if (!wanted_) {
        if (result.picture) {
            readAhead_ = std::move(result); // kept for the next move
        }
        return;
    }
    if (done.path != *wanted_ || (done.ahead && !result.picture)) {
        // The position moved on meanwhile, or the read ahead's tighter bound refused it.
        read(*wanted_, false);
        return;
    }
    wanted_.reset();
    show(result);
}

void FolderBrowser::show(const platform::ReadResult& result) {
    // The pictures shown until now are let go of on the reader's thread, not here.
    std::vector<platform::Picture> previous{m_.PictureClip.Picture(), m_.Image1.picture(),
                                            m_.ImagenPanoramica.picture()};
    opener_.showFile(result.path, [&result]() -> platform::Picture {
        if (!result.picture) {
            std::rethrow_exception(result.error);
        }
        return *result.picture;
    });
    m_.services.backgroundReader.release(std::move(previous));
    readAhead();
}

void FolderBrowser::readAhead() {
    if (folderPath_.isEmpty() || wanted_ || reading_ || readAhead_) {
        return;
    }
    if (const std::optional<qsizetype> next = step(direction_)) {
        read(folder().pathOf(*next), true);
    }
}

} // namespace browsing
