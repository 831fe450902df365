// SPDX-License-Identifier: MIT
#pragma once

// Going through the folder of the picture shown: the next and previous picture, the first and
// the last, each shown as the open command shows a file. The picture after the one shown, in the
// direction of travel, is read ahead in the background so that it is there when asked for; a
// move whose picture is not there yet is read in the background too, and presses made meanwhile
// only move the position: the latest one is shown.

#include "PictureFolder.h"
#include "app/KelmoModel.h"
#include "loading/PictureOpener.h"

#include <memory>
#include <optional>

namespace browsing {

enum class Move { Next, Previous, First, Last };

class FolderBrowser {
  public:
    FolderBrowser(app::KelmoModel& model, loading::PictureOpener& opener);
    ~FolderBrowser() { m_.services.backgroundReader.cancel(); }
    FolderBrowser(const FolderBrowser&) = delete;
    FolderBrowser& operator=(const FolderBrowser&) = delete;

    void go(Move move);
    // A picture is now shown (at start-up, opened or dropped): its folder becomes the one gone
    // through, from its place, and the picture after it is read ahead, unless it is asked to
    // wait (at start-up, until the first frame is on screen).
    void pictureShown(bool readAheadNow = true);
    void readAhead();
    // Forgets what was read ahead and any move under way, so that a picture read now has the
    // memory to itself.
    void dropReadAhead();

  private:
    struct Read {
        QString path;
        bool ahead = false; // a read ahead, under the tighter bound
    };
    // The index one step from the position, forwards (+1) or backwards (-1), if there is one.
    std::optional<qsizetype> step(int direction);
    std::optional<qsizetype> target(Move move);
    void show(const platform::ReadResult& result);
    void read(const QString& name, bool ahead);
    void arrived(platform::ReadResult result);

    PictureFolder& folder();

    app::KelmoModel& m_;
    loading::PictureOpener& opener_;

    QString folderPath_; // the shown file's folder; empty for the built-in picture
    std::unique_ptr<PictureFolder> folder_;
    QString position_;                              // the file last shown or tried, by name
    int direction_ = 1;                             // +1 forwards, -1 backwards
    std::optional<QString> wanted_;                 // the path a move waits for
    std::optional<Read> reading_;                   // what the background reader is reading
    std::optional<platform::ReadResult> readAhead_; // a picture read ahead, with its name
};

} // namespace browsing
