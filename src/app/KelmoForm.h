// SPDX-License-Identifier: MIT
#pragma once

// The Kelmo window: its model, one handler object per subsystem, and the wiring of every event
// to its handler. The handlers bear the names of the control and the event they serve.

#include "KelmoModel.h"
#include "browsing/FolderBrowser.h"
#include "loading/PictureOpener.h"
#include "output/ClipboardCopier.h"
#include "output/PrintCommands.h"
#include "output/SelectionSaver.h"
#include "playing/AnimationPlayer.h"
#include "selection/SelectionTool.h"
#include "selection/ZoomCommand.h"
#include "view/PanoramicNavigator.h"
#include "view/ViewRestorer.h"
#include "view/WindowScaler.h"

namespace app {

class KelmoForm {
  public:
    explicit KelmoForm(KelmoServices& services);

    KelmoModel& model() { return model_; }
    const KelmoModel& model() const { return model_; }
    platform::Form& window() { return model_.window; }
    const selection::SelectionTool& selectionTool() const { return selection_; }
    playing::AnimationPlayer& player() { return player_; }
    const playing::AnimationPlayer& player() const { return player_; }

    void Form_Load();
    void Form_KeyDown(std::int16_t keyCode, std::int16_t shift);
    void Form_MouseDown(std::int16_t button, std::int16_t shift, float x, float y);
    void Form_LinkError(std::int16_t linkError);
    // A file dropped on the window opens as the open command opens the file it was given.
    void Form_FileDropped(const QString& path);
    // The first frame is on screen: what start-up left for later may begin.
    void Form_FirstShown() {
        player_.begin();
        browser_.readAhead();
    }
    void SubMenuCerrar_Click() { model_.window.unload(); }

    void SubMenuAbrir_Click() {
        opener_.SubMenuAbrir_Click();
        browser_.pictureShown();
    }
    void Image1_MouseDown(std::int16_t button, std::int16_t shift, float x, float y) {
        selection_.Image1_MouseDown(button, shift, x, y);
    }
    void Image1_MouseMove(std::int16_t button, std::int16_t shift, float x, float y) {
        selection_.Image1_MouseMove(button, shift, x, y);
    }
    void Zoom_Click() { zoom_.Zoom_Click(); }
    void ImagenPanoramica_MouseDown(std::int16_t button, std::int16_t shift, float x, float y) {
        navigator_.ImagenPanoramica_MouseDown(button, shift, x, y);
    }
    void ImagenPanoramica_MouseMove(std::int16_t button, std::int16_t shift, float x, float y) {
        navigator_.ImagenPanoramica_MouseMove(button, shift, x, y);
    }
    void Restore_Click() { restorer_.Restore_Click(); }
    void SubMenuRestore_Click() { Restore_Click(); }
    void Aumenta_Click() { scaler_.Aumenta_Click(); }
    void Disminuye_Click() { scaler_.Disminuye_Click(); }
    void SubMenuAmpliar_Click() { Aumenta_Click(); }
    void SubMenuReducir_Click() { Disminuye_Click(); }
    void ToClipBoard_Click() { copier_.ToClipBoard_Click(); }
    void SaveSelected_Click() { saver_.SaveSelected_Click(); }
    void SubMenuImprimirImagen_Click() { printing_.SubMenuImprimirImagen_Click(); }
    void SubMenuConfigImpresora_Click() { printing_.SubMenuConfigImpresora_Click(); }

  private:
    void buildMenus();
    void wireEvents();
    // The keys that do what the pointer does over the view: Ctrl+A, Shift with the arrows (and
    // Ctrl, ten pixels at a time), the menu key and Shift+F10. False for any other key.
    bool keyboardCommand(std::int16_t keyCode, std::int16_t shift);
    // P, the period and the comma: pause, resume and step an animation. False for any other key.
    bool playingCommand(std::int16_t keyCode, std::int16_t shift);

    KelmoModel model_;
    loading::PictureOpener opener_{model_};
    selection::SelectionTool selection_{model_};
    selection::ZoomCommand zoom_{model_};
    view::PanoramicNavigator navigator_{model_};
    view::ViewRestorer restorer_{model_};
    view::WindowScaler scaler_{model_};
    output::ClipboardCopier copier_{model_};
    output::SelectionSaver saver_{model_};
    output::PrintCommands printing_{model_};
    browsing::FolderBrowser browser_{model_, opener_};
    playing::EventLoopClock clock_;
    playing::AnimationPlayer player_{model_, clock_};
};

} // namespace app
