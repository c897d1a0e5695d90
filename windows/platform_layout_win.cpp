// The Windows build's measures of the main window and the settings dialog, with its two gadgets
// of its own there: start with Windows (the Startup shortcut) and the JPEG quality step.
#include "core/text_util.h"
#include "desktop/gadgets.h"
#include "desktop/platform_layout.h"
#include "windows/startup_shortcut.h"
#include "windows/windows_gadgets.h"
#include "windows/windows_state.h"

const DesktopLayout desktopLayout = {
    .mainFrameHeight = 170,
    .dialogHeight = 320,
    .settingsFrameHeight = 157,
    .serverCheckBoxY = 180,
    .languageY = 150,
    .languageHeight = 20,
    .deviceMaximum = 9,
    .buttonsY = 290,
};

namespace {

constexpr int qualityMinimum = 1;
constexpr int qualityMaximum = 10;
constexpr int qualityDefault = 5;

}  // namespace

void CreatePlatformSettingsGadgets(int window) {
    const WindowsState& w = windowsState;
    CreateCheckBoxGadget(window, gadgetAutostartCheckBox, 30, 150, 150, 20, w.textStartWithWindows);
    SetGadgetState(gadgetAutostartCheckBox, NumberValue(w.settingAutostart.Get()) != 0);
    CreateTextGadget(window, gadgetImageQualityLabel, 190, 242, 72, 20, w.textImageQuality + ":");
    CreateSpinGadget(window, gadgetImageQualitySpin, 265, 240, 70, 20, qualityMinimum, qualityMaximum);
    int64_t step = NumberValue(w.settingImage.Get());
    SetGadgetState(gadgetImageQualitySpin,
                   step >= qualityMinimum && step <= qualityMaximum ? int(step) : qualityDefault);
}

void TakePlatformSettings(SettingsInput& input) {
    input.autostart = GetGadgetState(gadgetAutostartCheckBox) != 0;
    input.image = std::to_string(GetGadgetState(gadgetImageQualitySpin));
    // Written anew at every confirm while the box is checked; unchecking leaves it in place.
    if (input.autostart) WriteStartupShortcut();
}
