// SPDX-License-Identifier: MIT
#pragma once

#include <QIcon>
#include <QString>

namespace platform::qt {

// The tool buttons' icons, drawn as vector art at whatever size and pixel ratio they are shown, so
// they stay crisp on high-DPI screens: "aumenta", "disminuye", "zoom", "restore", and the
// "more-h" and "more-v" chevrons of a bar that has more than fits.
QIcon buttonIcon(const QString& name);

} // namespace platform::qt
