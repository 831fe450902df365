// SPDX-License-Identifier: MIT
#pragma once

#include "app/KelmoModel.h"

namespace output {

// "Guardar seleccionado": the selected area of the source picture is written as a bitmap file
// under exactly the name chosen in the save dialog.
class SelectionSaver {
  public:
    explicit SelectionSaver(app::KelmoModel& model) : model_(model) {}
    void SaveSelected_Click();

  private:
    app::KelmoModel& model_;
};

} // namespace output
