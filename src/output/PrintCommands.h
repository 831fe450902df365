// SPDX-License-Identifier: MIT
#pragma once

#include "app/KelmoModel.h"

namespace output {

// "Imprimir imagen" and "Configurar impresora". Both end quietly when the user cancels or
// anything fails, and leave the dialog's CancelError off on every path.
class PrintCommands {
  public:
    // Print dialog flags: no page range, no print-to-file box, the selection choice offered.
    static constexpr std::int32_t printFlags = 1310728;
    static constexpr std::int32_t setupFlags = 64;

    explicit PrintCommands(app::KelmoModel& model) : model_(model) {}
    void SubMenuImprimirImagen_Click();
    void SubMenuConfigImpresora_Click();

  private:
    void printChosenPicture();

    app::KelmoModel& model_;
};

} // namespace output
