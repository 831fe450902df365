// SPDX-License-Identifier: MIT
#pragma once

class QApplication;

namespace platform::qt {

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
