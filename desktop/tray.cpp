// Hiding the main window into the system tray and bringing it back at the same place.
// The toolkit's hidden window keeps its screen position, so the restore needs only its number.
#include "desktop/tray.h"

#include "desktop/gadgets.h"

namespace {

int hiddenWindow = noWindow;

}  // namespace

void HideToTray(int window, int image, const std::string& title) {
    HideGadgetWindow(window);
    if (!AddTrayIcon(mainTrayIcon, window, image)) {
        ShowGadgetWindow(window);
        return;
    }
    SetTrayIconToolTip(mainTrayIcon, title);
    hiddenWindow = window;
}

void RestoreFromTray() {
    RemoveTrayIcon(mainTrayIcon);
    if (hiddenWindow == noWindow) return;
    ShowGadgetWindow(hiddenWindow);
    hiddenWindow = noWindow;
}
