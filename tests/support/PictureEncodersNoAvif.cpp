// SPDX-License-Identifier: MIT
// Where libavif is not built there is no AVIF encoder: the tests leave out what needs one.
#include "PictureEncoders.h"

namespace testing_support {

bool libavifBuilt() {
    return false;
}

QByteArray encodeAvif(const QImage&, int, int) {
    return {};
}

} // namespace testing_support
