// SPDX-License-Identifier: MIT
// Linux: the readers live in other processes, and Qt's image plug-ins stay out of this one.
#include "DesktopIntegration.h"

#include <QCoreApplication>
#include <QDir>

namespace platform::qt {

void keepImagePluginsOut(const QString& pluginLinks) {
    const QDir links(pluginLinks);
    if (links.exists(QStringLiteral("platforms/."))) {
        QCoreApplication::setLibraryPaths({links.path()});
    }
}

} // namespace platform::qt
