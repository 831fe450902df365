// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>

namespace platform {

// Puts the picture on the system's clipboard, in the formats this system's programs paste.
void offerPicture(const QImage& image);

} // namespace platform
