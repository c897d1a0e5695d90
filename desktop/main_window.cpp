// The main window as laid out: 350 x 177 inner pixels, centred, fixed gadget positions, the
// translated captions beside the few fixed English ones.
#include "desktop/main_window.h"

#include "core/constants.h"
#include "core/program_state.h"
#include "desktop/gadgets.h"
#include "desktop/platform_layout.h"

namespace {

constexpr int mainWidth = 350;
constexpr int mainHeight = 177;
constexpr uint32_t linkColour = 0x00FF00;

// The web-site link's caption: the host after "://" and an optional user part, without a port.
std::string HostPart(const std::string& url) {
    size_t start = url.find("://");
    start = start == std::string::npos ? 0 : start + 3;
    size_t at = url.find('@', start);
    if (at != std::string::npos && at < url.find('/', start)) start = at + 1;
    size_t end = url.find_first_of(":/", start);
    return url.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

}  // namespace

bool OpenMainWindow() {
    const ProgramState& s = programState;
    if (!OpenGadgetWindow(mainWindow, mainWidth, mainHeight, windowTitle, noWindow, false))
        return false;
    if (GadgetFontLoaded(interfaceFont)) SetDefaultGadgetFont(interfaceFont);
    SetGadgetWindowIcon(mainWindow, iconImageSlot);
    const int w = mainWindow;
    CreateFrameGadget(w, gadgetMainFrame, 5, 0, 340, desktopLayout.mainFrameHeight, "");
    CreateTextGadget(w, gadgetStatusLabel, 20, 25, 35, 20, "Status:");
    CreateEntryGadget(w, gadgetStatusField, 65, 23, 150, 20, s.textInactive, entryReadOnly);
    CreateButtonGadget(w, gadgetStartStop, 230, 17, 100, 20, s.textStart);
    CreateTextGadget(w, gadgetUsersLabel, 20, 55, 34, 20, s.textUsers);
    CreateEntryGadget(w, gadgetUsersField, 65, 53, 150, 20, " 0", entryReadOnly);
    CreateButtonGadget(w, gadgetSettingsButton, 230, 42, 100, 20, s.textSettings);
    CreateTextGadget(w, gadgetPortLabel, 20, 85, 34, 20, "Port:");
    CreateEntryGadget(w, gadgetPortField, 65, 83, 150, 20, FieldText(s.settingPort.Get()), entryReadOnly);
    CreateButtonGadget(w, gadgetIpCheckButton, 230, 67, 100, 20, "IP-Check");
    CreateTextGadget(w, gadgetAddressLabel, 20, 115, 34, 20, "IP:");
    CreateEntryGadget(w, gadgetAddressField, 65, 113, 150, 20, " -", entryReadOnly);
    CreateButtonGadget(w, gadgetPreviewButton, 230, 92, 100, 20, s.textPreview);
    CreateButtonGadget(w, gadgetHideButton, 230, 117, 100, 20, s.textHideInTray);
    CreateLinkGadget(w, gadgetWebLink, 100, 142, 75, 20, HostPart(s.serviceBaseUrl), linkColour);
    return true;
}

void ShowServerStatus(bool active) {
    const ProgramState& s = programState;
    SetGadgetText(gadgetStatusField, active ? s.textActive : s.textInactive);
    SetGadgetText(gadgetStartStop, active ? s.textStop : s.textStart);
}

bool StatusShowsActive() { return GetGadgetText(gadgetStatusField) == programState.textActive; }

void RefreshMainWindow(bool serverActive) {
    const ProgramState& s = programState;
    SetGadgetText(gadgetSettingsButton, s.textSettings);
    SetGadgetText(gadgetPreviewButton, s.textPreview);
    SetGadgetText(gadgetHideButton, s.textHideInTray);
    SetGadgetText(gadgetUsersLabel, s.textUsers);
    SetGadgetText(gadgetPortField, FieldText(s.settingPort.Get()));
    ShowServerStatus(serverActive);
}
