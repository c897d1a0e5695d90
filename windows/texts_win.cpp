// The texts only the Windows build shows: its capture library's and device's failures and its two
// settings gadgets. ISO-8859-15: \xE4 is a-umlaut.
#include "core/texts.h"
#include "windows/windows_state.h"

void ApplyPlatformTexts(bool german) {
    WindowsState& w = windowsState;
    w.textFunctionPrefix = german ? "Die Funktion " : "Function ";
    w.textNotFoundSuffix = german ? " wurde nicht gefunden." : " not found.";
    w.textDeviceFailed = german ? "Konnte keine Verbindung mit dem Ger\xE4t herstellen."
                                : "Can not connect to the capture device.";
    w.textImageQuality = german ? "Bildqualit\xE4t" : "Image quality";
    w.textStartWithWindows = german ? "Mit Windows starten" : "Start with windows";
}
