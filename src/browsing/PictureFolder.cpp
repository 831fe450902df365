// SPDX-License-Identifier: MIT
#include "PictureFolder.h"

#include "reading/ImageFileLoader.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <utility>

namespace browsing {

namespace {

// The extensions of the readable formats, lower case, without the dot.
const QStringList& pictureExtensions() {
    static const QStringList extensions = [] {
        QStringList list;
        for (const QString& pattern : platform::ImageFileLoader::readablePatterns()) {
            list << pattern.mid(pattern.lastIndexOf(u'.') + 1).toLower();
        }
        return list;
    }();
    return extensions;
}

// The user's language; under the bare C locale, whose collation is by code point, English, so
// that numbers still count as numbers and letters as letters.
QLocale collationLocale() {
    const QLocale locale;
    return locale.language() == QLocale::C ? QLocale(QLocale::English, QLocale::UnitedStates)
                                           : locale;
}

// Whether a file name has the extension of a readable format, in any letter case.
bool hasPictureExtension(const QString& fileName) {
    const qsizetype dot = fileName.lastIndexOf(u'.');
    return dot > 0 &&
           pictureExtensions().contains(fileName.mid(dot + 1).toLower(), Qt::CaseSensitive);
}

} // namespace

PictureFolder::PictureFolder(const QString& file)
    : folder_(QFileInfo(file).absolutePath()), collator_(collationLocale()),
      watcher_(std::make_unique<QFileSystemWatcher>()) {
    collator_.setNumericMode(true);
    watcher_->addPath(folder_);
    QObject::connect(watcher_.get(), &QFileSystemWatcher::directoryChanged, watcher_.get(),
                     [this] { changed_ = true; });
}

const QStringList& PictureFolder::names() {
    if (changed_) {
        list();
    }
    return names_;
}

void PictureFolder::list() {
    changed_ = false;
    // Hidden files (a leading dot) are left out unless QDir::Hidden is asked for; QDir::Files
    // without QDir::System leaves out broken links, pipes and devices.
    QStringList found;
    const QStringList entries = QDir(folder_).entryList(QDir::Files | QDir::Readable, QDir::NoSort);
    for (const QString& name : entries) {
        if (!name.startsWith(u'.') && hasPictureExtension(name)) {
            found << name;
        }
    }
    // Sort keys are made once a name; comparing them is far cheaper than comparing the names.
    std::vector<std::pair<QCollatorSortKey, QString>> sorted;
    sorted.reserve(size_t(found.size()));
    for (const QString& name : found) {
        sorted.emplace_back(collator_.sortKey(name), name);
    }
    std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) {
        const int c = a.first.compare(b.first);
        return c != 0 ? c < 0 : a.second < b.second;
    });
    names_.clear();
    names_.reserve(found.size());
    for (const auto& entry : sorted) {
        names_ << entry.second;
    }
}

bool PictureFolder::before(const QString& a, const QString& b) const {
    const int c = collator_.compare(a, b);
    return c != 0 ? c < 0 : a < b;
}

qsizetype PictureFolder::placeOf(const QString& name) {
    const QStringList& list = names();
    const auto at =
        std::lower_bound(list.begin(), list.end(), name,
                         [this](const QString& a, const QString& b) { return before(a, b); });
    return at - list.begin();
}

QString PictureFolder::pathOf(qsizetype index) const {
    return QDir(folder_).filePath(names_.at(index));
}

} // namespace browsing
