// SPDX-License-Identifier: MIT
#include "ClipboardCopier.h"

#include "selection/SelectionClip.h"

namespace output {

void ClipboardCopier::ToClipBoard_Click() {
    if (!selection::requireSelection(model_)) {
        return;
    }
    // The cut is made before the clipboard is touched, so a selection that cannot be cut leaves
    // what the user had on the clipboard.
    const platform::Picture cut = selection::cutSelection(model_);
    model_.services.clipboard.setData(cut);
}

} // namespace output
