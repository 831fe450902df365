// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>

namespace fuzzing {

// Takes bytes as a picture file through the real loader and the real window model: a start-up
// with the file named on the command line, a selection and a zoom, a drag over the panoramic
// copy, and a save of a selection to memory; then the frames of any animation in it. Errors are
// reported as the window reports them; anything else (a crash, a sanitizer report, a hang) is a
// fault.
void runScenario(const QByteArray& bytes);

} // namespace fuzzing
