// SPDX-License-Identifier: MIT
#pragma once

class QApplication;
class QString;

namespace platform::qt {

// Before the application object: Qt finds its plug-ins through pluginLinks, the folder of links
// beside the format modules, which leaves out its image plug-ins. Whenever Qt is left to guess a
// picture's format (an icon theme's file, a dialog's pixmap) it loads every image plug-in, and with
// them the picture libraries that only the reader processes may have. Where the folder is missing,
// Qt's own plug-in folder is left as it is.
void keepImagePluginsOut(const QString& pluginLinks);

// Settles, before any window is built, how the form windows look: the menu bar stays inside the
// window, where the form's geometry counts it, even on desktops that offer a global menu; and
// the style draws the menu bar's overflow button without reading picture files.
void prepareApplication(QApplication& application);

// Loads Qt's own Spanish texts, so the file, print and message dialogs speak like the rest of
// the window ("Abrir", "Cancelar", "Aceptar"). Where the translations are not installed the
// dialogs stay in English, quietly. Returns whether they were loaded.
bool installSpanishTranslations(QApplication& application);
// The same, once per process: dialogs call it before they show, and start-up after its first
// frame, so that the picture reaches the screen without waiting for the translations.
void ensureSpanishTranslations();

// The application's icon, in every size it ships.
void installApplicationIcon(QApplication& application);

} // namespace platform::qt
