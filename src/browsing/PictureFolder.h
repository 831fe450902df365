// SPDX-License-Identifier: MIT
#pragma once

// The pictures of one folder in the order a file manager lists them by name: numbers as numbers
// (IMG_2 before IMG_10), letter case and accents as the user's language compares them. A picture
// here is a regular file, not hidden, whose name ends in an extension of a format Kelmo reads;
// its content still decides how it is read.
//
// The folder is watched: a file added, removed or renamed shows in the list the next time it is
// asked for, which lists the folder again only when something changed.

#include <QCollator>
#include <QCollatorSortKey>
#include <QFileSystemWatcher>
#include <QString>
#include <QStringList>
#include <memory>

namespace browsing {

class PictureFolder {
  public:
    // The folder that holds `file` (which need not exist any longer).
    explicit PictureFolder(const QString& file);

    const QString& folder() const { return folder_; }
    // The pictures' names, listed again first if the folder changed since the last time.
    const QStringList& names();
    // Where `name` stands among names(): its index when it is there, otherwise the index of the
    // first name after it (which may be the size of the list).
    qsizetype placeOf(const QString& name);
    QString pathOf(qsizetype index) const;

  private:
    void list();
    bool before(const QString& a, const QString& b) const;

    QString folder_;
    QCollator collator_;
    QStringList names_;
    bool changed_ = true;
    std::unique_ptr<QFileSystemWatcher> watcher_;
};

} // namespace browsing
