// SPDX-License-Identifier: MIT
#pragma once

// What a screen reader is told of the view and of the panoramic copy: their names and what each
// shows, written into the picture controls after every event. The texts are in texts::spoken.

#include "KelmoModel.h"

namespace app {

// Names and describes Image1 and ImagenPanoramica from the model as it stands.
void describeView(KelmoModel& model);

} // namespace app
