// SPDX-License-Identifier: MIT
// Where libavif is not built there is no AVIF encoder: a test that needs one fails, saying so.
#include "PictureEncoders.h"

#include <stdexcept>

namespace testing_support {

QByteArray encodeAvif(const QImage&, int, int) {
    throw std::runtime_error("no AVIF encoder in this build (libavif is not built here)");
}

} // namespace testing_support
