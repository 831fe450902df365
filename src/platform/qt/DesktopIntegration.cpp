// SPDX-License-Identifier: MIT
#include "DesktopIntegration.h"

#include "FormStyle.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QStyle>
#include <QTranslator>

namespace platform::qt {

void prepareApplication(QApplication&) {
    QApplication::setAttribute(Qt::AA_DontUseNativeMenuBar);
    QApplication::setStyle(new FormStyle(QApplication::style()->name()));
}

bool installSpanishTranslations(QApplication& application) {
    auto* translator = new QTranslator(&application);
    const QLocale spanish(QLocale::Spanish, QLocale::Spain);
    if (!translator->load(spanish, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QLocale::setDefault(spanish);
    return QApplication::installTranslator(translator);
}

void ensureSpanishTranslations() {
    static bool installed = false;
    if (!installed && qApp != nullptr) {
        installed = true;
        installSpanishTranslations(*qApp);
    }
}

void installApplicationIcon(QApplication&) {
    // PNGs only: the SVG icon engine is an optional plugin.
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/kelmo/icons/kelmo-%1.png").arg(size), QSize(size, size));
    }
    QApplication::setWindowIcon(icon);
}

} // namespace platform::qt
