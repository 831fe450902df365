// SPDX-License-Identifier: MIT
#pragma once

#include "app/KelmoModel.h"

namespace loading {

// "Abrir Imagen": the chosen picture becomes the source, shown unzoomed at its natural size with
// the window fitted around it and the path in the caption.
class PictureOpener {
  public:
    explicit PictureOpener(app::KelmoModel& model) : model_(model) {}
    void SubMenuAbrir_Click();

  private:
    app::KelmoModel& model_;
};

} // namespace loading
