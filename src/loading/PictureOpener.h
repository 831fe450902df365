// SPDX-License-Identifier: MIT
#pragma once

#include "app/KelmoModel.h"
#include "platform/ErrorRecord.h"

#include <functional>

namespace loading {

// "Abrir Imagen": the chosen picture becomes the source, shown unzoomed at its natural size with
// the window fitted around it and the path in the caption; where that window would be larger
// than the screen, it is then reduced until it fits (view::ScreenFit). A picture dropped on the
// window, and each picture of the folder gone through, is shown the same way.
class PictureOpener {
  public:
    explicit PictureOpener(app::KelmoModel& model) : model_(model) {}
    void SubMenuAbrir_Click();
    // What the command does once its dialog has given a name.
    void openFile(const QString& name);
    // The same with the picture coming from `read` (one already read, say), which raises the
    // read's error when there is none.
    void showFile(const QString& name, const std::function<platform::Picture()>& read);
    // Runs just before a picture is read on the main thread, to free what may be freed.
    std::function<void()> beforeRead;

  private:
    void openFile(platform::ErrorRecord& errors, const QString& name);
    void show(platform::ErrorRecord& errors, const QString& name,
              const std::function<platform::Picture()>& read);

    app::KelmoModel& model_;
};

} // namespace loading
