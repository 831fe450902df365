// SPDX-License-Identifier: MIT
#pragma once

// What a screen reader finds on the surface: besides the buttons, each picture control as an
// image, with the name and the description the form gives it. The surface draws the pictures
// itself, so their accessible objects are children of the surface's own.

#include "platform/Controls.h"

#include <QAccessible>
#include <map>

namespace platform::qt {

class FormSurface;

class PictureAccessibility {
  public:
    explicit PictureAccessibility(FormSurface& surface);
    ~PictureAccessibility();
    PictureAccessibility(const PictureAccessibility&) = delete;
    PictureAccessibility& operator=(const PictureAccessibility&) = delete;

    // Makes the surface's accessible object the one that lists the pictures; once per program.
    static void install();

    // The picture controls, in the form's order, and the accessible object of each.
    std::vector<const PictureBox*> pictures() const;
    QAccessibleInterface* interfaceFor(const PictureBox& box);

    // After a change of the control: the events a screen reader listens to, for its name and its
    // description when they changed.
    void announce(const PictureBox& box);

  private:
    struct Told {
        QAccessible::Id id = 0;
        QString name;
        QString description;
    };
    FormSurface& surface_;
    std::map<const PictureBox*, Told> told_;
};

} // namespace platform::qt
