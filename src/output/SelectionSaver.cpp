// SPDX-License-Identifier: MIT
#include "SelectionSaver.h"

#include "selection/SelectionClip.h"

namespace output {

void SelectionSaver::SaveSelected_Click() {
    app::KelmoModel& m = model_;
    if (!selection::requireSelection(m)) {
        return;
    }
    m.Dialogo.Filter = QStringLiteral("*.bmp;*.gif;*.ico");
    m.Dialogo.ShowSave();
    const QString path = m.Dialogo.FileName;
    if (path.isEmpty()) {
        return;
    }
    m.services.saver.savePicture(selection::cutSelection(m), path);
}

} // namespace output
