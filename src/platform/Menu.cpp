// SPDX-License-Identifier: MIT
#include "Menu.h"

namespace platform {

const MenuItem* MenuItem::find(const QString& itemName) const {
    if (name == itemName) {
        return this;
    }
    for (const MenuItem& item : items) {
        if (const MenuItem* found = item.find(itemName)) {
            return found;
        }
    }
    return nullptr;
}

} // namespace platform
