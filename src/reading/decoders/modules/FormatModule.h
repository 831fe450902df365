// SPDX-License-Identifier: MIT
#pragma once

// The readers that need a picture library (libjpeg, libavif, ...) and the colour conversion by
// Little CMS are shared objects of their own, loaded only by the reader helper, so the viewer's
// process never maps those libraries, and a missing or broken one takes only its own format
// with it. Each module exports one function, named below, that says what it brings.
// Programs that read in their own process (the tests, the fuzzer, Windows) link them instead.

#include "reading/decoders/PictureDecoder.h"

#include <QString>

namespace platform::decoders {

// What a module brings: a format's reader, or the colour conversion by Little CMS.
struct ModuleExports {
    int abi;                                 // formatModuleAbi, as the module was built
    const PictureDecoder* decoder;           // null for the colour module
    bool (*convertColour)(Decoded& decoded); // convertWithLittleCms; null for readers
};

// Changes whenever the types that cross between the program and its modules do.
inline constexpr int formatModuleAbi = 2;
inline constexpr const char* moduleEntryName = "kelmo_format_module";
using ModuleEntry = const ModuleExports* (*)();

// The modules, by the name of their file (kelmo-<name>.so): the formats' short names, and
// "colour". GIF's module reads its animations only: Qt's reader reads its stills. A format whose
// module is not installed is refused with a short reason; without the colour module, profiles that
// Qt cannot convert are shown as stored.
inline constexpr const char* formatModules[] = {"jpeg", "png",  "webp", "gif",
                                                "avif", "heif", "jxl",  "colour"};

// The module of that name as formatModules spells it; null for any other name.
inline const char* formatModuleNamed(QByteArrayView name) {
    for (const char* module : formatModules) {
        if (name == module) {
            return module;
        }
    }
    return nullptr;
}

// Hands what a module brings to the readers' table; before any reader runs, on one thread.
void installModule(const char* name, const ModuleExports& exports);
// Whether a module's part is already there (linked into this program, or loaded).
bool moduleInstalled(const char* name);
// True the first time it is asked for a module of that name, false from then on: a module is
// tried once, and one that could not be loaded is said once.
bool firstTryOf(const char* name);

// Little CMS's conversion where its module is installed, else null.
bool (*installedLittleCms())(Decoded& decoded);

// Loads the module of that name from the folder unless it is installed or was tried already,
// saying on standard error why where it cannot be loaded; true when it installed it. For the
// reader helper, before it forks a reader that needs it.
bool loadFormatModule(const QString& folder, const char* name);
// The same for every module.
void loadFormatModules(const QString& folder);
// The folder the modules are looked for in: "formats" beside the program (a build tree), else
// the one they are installed in, relative to the program's own folder.
QString formatModuleFolder();

// Installs the modules linked into this program (kelmo_linked_formats).
void useLinkedFormats();

} // namespace platform::decoders
