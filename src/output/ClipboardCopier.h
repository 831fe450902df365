// SPDX-License-Identifier: MIT
#pragma once

#include "app/KelmoModel.h"

namespace output {

// "Pegar al portapapeles" and Ctrl+C: the selected area of the source picture, at the source's
// own resolution, goes to the clipboard.
class ClipboardCopier {
  public:
    explicit ClipboardCopier(app::KelmoModel& model) : model_(model) {}
    void ToClipBoard_Click();

  private:
    app::KelmoModel& model_;
};

} // namespace output
