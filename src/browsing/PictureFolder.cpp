// SPDX-License-Identifier: MIT
#include "PictureFolder.h"

#include "platform/decoders/PictureDecoder.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <numeric>

namespace browsing {

namespace {

// The extensions of the readable formats, lower case, without the dot.
const QStringList& pictureExtensions() {
    static const QStringList extensions = [] {
        QStringList list;
        for (const QString& pattern : platform::decoders::readablePatterns()) {
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

} // namespace

bool hasPictureExtension(const QString& fileName) {
    const qsizetype dot = fileName.lastIndexOf(u'.');
    return dot > 0 &&
           pictureExtensions().contains(fileName.mid(dot + 1).toLower(), Qt::CaseSensitive);
}

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
    std::vector<QCollatorSortKey> keys;
    keys.reserve(size_t(found.size()));
    for (const QString& name : found) {
        keys.push_back(collator_.sortKey(name));
    }
    std::vector<qsizetype> order(size_t(found.size()));
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        const int c = keys[size_t(a)].compare(keys[size_t(b)]);
        return c != 0 ? c < 0 : found[a] < found[b];
    });
    names_.clear();
    keys_.clear();
    names_.reserve(found.size());
    keys_.reserve(keys.size());
    for (const qsizetype i : order) {
        names_ << found[i];
        keys_.push_back(keys[size_t(i)]);
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
