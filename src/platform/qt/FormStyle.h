// SPDX-License-Identifier: MIT
#pragma once

#include <QProxyStyle>

namespace platform::qt {

// The desktop's own style, but for the overflow buttons of the menu bar and tool bars, whose icons
// are drawn here. The stock ones are PNG files, and reading the first of them loads every
// picture-format plug-in there is, which the menu bar would do before the window's first frame.
class FormStyle : public QProxyStyle {
  public:
    // Wraps the style of that name: the one the desktop, the environment or -style chose.
    explicit FormStyle(const QString& baseKey) : QProxyStyle(baseKey) {}

    QIcon standardIcon(StandardPixmap icon, const QStyleOption* option,
                       const QWidget* widget) const override;
};

} // namespace platform::qt
