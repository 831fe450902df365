// SPDX-License-Identifier: MIT
#pragma once

#include "app/KelmoModel.h"

namespace view {

// Enlarge and reduce: the view and the window grow by 3/2 or shrink by 2/3. Products are formed
// as v × 3 / 2 and (v + v) / 3, multiplication first and division last.
class WindowScaler {
  public:
    enum class Step { Enlarge, Reduce };

    explicit WindowScaler(app::KelmoModel& model) : model_(model) {}

    void Aumenta_Click() { scale(Step::Enlarge); }
    void Disminuye_Click() { scale(Step::Reduce); }

    static double scaled(double value, Step step);

  private:
    void scale(Step step);
    void scaleSelection(Step step);

    app::KelmoModel& model_;
};

} // namespace view
