// Texts are ISO-8859-15: \xE4 is a-umlaut, \xF6 is o-umlaut, \xFC is u-umlaut. "\n\r" (LF CR)
// is deliberate.
#include "core/texts.h"

#include "core/constants.h"
#include "core/platform.h"
#include "core/program_state.h"
#include "core/text_util.h"

namespace {

struct Texts {
    const char* errorTitle;
    const char* unknownError;
    const char* networkFailed;
    const char* serverFailed;
    const char* captureFailedLead;
    const char* captureFailedLabel;
    const char* firefoxNotFound;
    const char* previewUnavailable;
    const char* enterCredentials;
    const char* settingsNotSaved;
    const char* credentialsNotLatin9;
    const char* active;
    const char* inactive;
    const char* start;
    const char* stop;
    const char* users;
    const char* settings;
    const char* preview;
    const char* hideInTray;
    const char* programSettings;
    const char* username;
    const char* password;
    const char* activateServer;
    const char* startHidden;
    const char* language;
    const char* device;
    const char* cancel;
    const char* languageName;
};

const Texts german = {
    "Fehler",
    "Es ist ein Fehler aufgetreten. Das Programm wird beendet.",
    "Das Netzwerk konnte nicht initialisiert werden.",
    "Der Server auf Port x konnte nicht erstellt werden.",
    "Es konnten keine Webcam Bilder erstellt werden.",
    "Fehlermeldung:",
    "Firefox wurde nicht gefunden",
    "Keine Vorschau m\xF6glich. Der Server ist nicht aktiv.",
    "Bitte geben Sie einen Nutzernamen und Passwort ein.",
    "Die Einstellungen k\xF6nnen nicht gespeichert werden.",
    "Nutzername und Passwort d\xFCrfen nur Zeichen aus ISO-8859-15 enthalten.",
    " Aktiv",
    " Inaktiv",
    "Starten",
    "Beenden",
    "Nutzer:",
    " Einstellungen",
    "Vorschau",
    "Verstecken",
    "Programmeinstellungen",
    "Benutzer:",
    "Passwort:",
    germanActivateServer,
    "Versteckt starten",
    "Sprache",
    "Ger\xE4t",
    "Abbrechen",
    languageNameGerman,
};

const Texts english = {
    "Error",
    "An unknown error occured. The program will be terminated.",
    "Can not initialize the network.",
    "Can not create the server on port x",
    "Can not create webcam captures.",
    "Error message:",
    "Firefox not found.",
    "Preview is not available. The server is inactive.",
    "Please enter a username and password.",
    "Can not save the settings.",
    "The username and password may only hold characters of ISO-8859-15.",
    " Active",
    " Inactive",
    "Start",
    "Stop",
    "Users:",
    " Settings",
    "Preview",
    "Hide in tray",
    "Program settings",
    "Username:",
    "Password:",
    "Activate server",
    "Hide in tray",
    "Language",
    "Device",
    "Cancel",
    languageNameEnglish,
};

}  // namespace

void ApplyLanguage(const std::string& key) {
    const Texts& t = key == LowerCase(languageNameGerman) ? german : english;
    ProgramState& s = programState;
    s.textErrorTitle = t.errorTitle;
    s.textUnknownError = t.unknownError;
    s.textNetworkFailed = t.networkFailed;
    s.textServerFailed = t.serverFailed;
    s.textCaptureFailed = std::string(t.captureFailedLead) + "\n\r" + t.captureFailedLabel + "\n\r";
    s.textFirefoxNotFound = t.firefoxNotFound;
    s.textPreviewUnavailable = t.previewUnavailable;
    s.textEnterCredentials = t.enterCredentials;
    s.textSettingsNotSaved = t.settingsNotSaved;
    s.textCredentialsNotLatin9 = t.credentialsNotLatin9;
    s.textActive = t.active;
    s.textInactive = t.inactive;
    s.textStart = t.start;
    s.textStop = t.stop;
    s.textUsers = t.users;
    s.textSettings = t.settings;
    s.textPreview = t.preview;
    s.textHideInTray = t.hideInTray;
    s.textProgramSettings = t.programSettings;
    s.textUsername = t.username;
    s.textPassword = t.password;
    s.textActivateServer = t.activateServer;
    s.textStartHidden = t.startHidden;
    s.textLanguage = t.language;
    s.textDevice = t.device;
    s.textCancel = t.cancel;
    s.languageName = t.languageName;
    ApplyPlatformTexts(&t == &german);
}
