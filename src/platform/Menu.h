// SPDX-License-Identifier: MIT
#pragma once

// A menu item of the form's menu bar or of a submenu. A caption of "-" makes a separator.

#include <QString>
#include <functional>
#include <vector>

namespace platform {

struct MenuItem {
    QString name;
    QString caption;
    bool enabled = true;
    // A check mark is shown while checked is true; choosing the item never changes it.
    bool checkable = false;
    bool checked = false;
    std::function<void()> onClick;
    std::vector<MenuItem> items;

    bool isSeparator() const { return caption == QStringLiteral("-"); }
    // The item of this name in this item's tree, or nullptr.
    const MenuItem* find(const QString& itemName) const;
};

} // namespace platform
