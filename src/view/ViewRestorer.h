// SPDX-License-Identifier: MIT
#pragma once

#include "app/KelmoModel.h"

namespace view {

// Restore: the whole picture at its natural size, the window fitted around it, the zoom and
// window factors back to 1 and the focus frame hidden. The selection stays where it was.
class ViewRestorer {
  public:
    explicit ViewRestorer(app::KelmoModel& model) : model_(model) {}
    void Restore_Click();

  private:
    app::KelmoModel& model_;
};

} // namespace view
