// SPDX-License-Identifier: MIT
// Loading the format modules, in the reader helper only: Linux's way, where the readers run in
// reader processes (ModuleLoaderNone.cpp elsewhere).

#include "FormatModule.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

#include <dlfcn.h>

#ifndef KELMO_MODULES_FROM_BINDIR
#define KELMO_MODULES_FROM_BINDIR "../lib/kelmo/formats"
#endif

namespace platform::decoders {

namespace {

// The module's exports, or null with the reason in `why`.
const ModuleExports* loadModule(const QString& path, QString& why) {
    // Kept loaded for the life of the process; RTLD_LOCAL keeps each module's symbols its own.
    void* handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        why = QString::fromLocal8Bit(dlerror());
        return nullptr;
    }
    const auto entry = reinterpret_cast<ModuleEntry>(dlsym(handle, moduleEntryName));
    const ModuleExports* exports = entry != nullptr ? entry() : nullptr;
    if (exports == nullptr || exports->abi != formatModuleAbi) {
        why = QStringLiteral("not a module of this version of Kelmo");
        dlclose(handle);
        return nullptr;
    }
    return exports;
}

} // namespace

QString formatModuleFolder() {
    const QString program = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    const QDir beside = QFileInfo(program).dir();
    if (beside.exists(QStringLiteral("formats"))) {
        return beside.filePath(QStringLiteral("formats"));
    }
    return QDir::cleanPath(beside.filePath(QStringLiteral(KELMO_MODULES_FROM_BINDIR)));
}

bool loadFormatModule(const QString& folder, const char* name) {
    if (moduleInstalled(name) || !firstTryOf(name)) {
        return false;
    }
    const QString path = QDir(folder).filePath(QStringLiteral("kelmo-%1.so").arg(name));
    QString why;
    if (const ModuleExports* exports = loadModule(path, why)) {
        installModule(name, *exports);
        return true;
    }
    std::fprintf(stderr, "kelmo: %s: %s\n", QFile::encodeName(path).constData(),
                 why.toLocal8Bit().constData());
    return false;
}

void loadFormatModules(const QString& folder) {
    for (const char* name : formatModules) {
        loadFormatModule(folder, name);
    }
}

} // namespace platform::decoders
