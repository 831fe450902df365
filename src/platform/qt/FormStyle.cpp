// SPDX-License-Identifier: MIT
#include "FormStyle.h"

#include "ButtonIcons.h"

namespace platform::qt {

QIcon FormStyle::standardIcon(StandardPixmap icon, const QStyleOption* option,
                              const QWidget* widget) const {
    switch (icon) {
    case SP_ToolBarHorizontalExtensionButton:
        return buttonIcon(QStringLiteral("more-h"));
    case SP_ToolBarVerticalExtensionButton:
        return buttonIcon(QStringLiteral("more-v"));
    default:
        return QProxyStyle::standardIcon(icon, option, widget);
    }
}

} // namespace platform::qt
