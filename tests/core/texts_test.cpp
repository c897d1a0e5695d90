// Both languages byte for byte, and the choice of language from its key.
#include <gtest/gtest.h>

#include "core/program_state.h"
#include "core/text_util.h"
#include "core/texts.h"

TEST(ApplyLanguage, GermanOnlyForTheExactKey) {
    for (const char* setting : {"Deutsch", "deutsch", "  DEUTSCH  "}) {
        ApplyLanguage(LowerCase(TrimText(setting)));
        EXPECT_EQ(programState.languageName, "Deutsch") << setting;
    }
    for (const char* setting : {"German", "de", "Deutsch (Deutschland)", ""}) {
        ApplyLanguage(LowerCase(TrimText(setting)));
        EXPECT_EQ(programState.languageName, "English") << setting;
    }
}

TEST(ApplyLanguage, GermanTextsAreIso885915) {
    ApplyLanguage("deutsch");
    const ProgramState& s = programState;
    EXPECT_EQ(s.textErrorTitle, "Fehler");
    EXPECT_EQ(s.textDevice, "Ger\xE4t");
    EXPECT_EQ(s.textPreviewUnavailable, "Keine Vorschau m\xF6glich. Der Server ist nicht aktiv.");
    EXPECT_EQ(s.textCaptureFailed,
              "Es konnten keine Webcam Bilder erstellt werden.\n\rFehlermeldung:\n\r");
    EXPECT_EQ(s.textActive, " Aktiv");
    EXPECT_EQ(s.textSettings, " Einstellungen");
    EXPECT_EQ(s.textStartHidden, "Versteckt starten");
    EXPECT_EQ(s.textActivateServer, "Server starten");
    EXPECT_EQ(s.textSettingsNotSaved, "Die Einstellungen k\xF6nnen nicht gespeichert werden.");
    EXPECT_EQ(ReplaceAll(s.textServerFailed, "x", "8080"),
              "Der Server auf Port 8080 konnte nicht erstellt werden.");
}

TEST(ApplyLanguage, EnglishTexts) {
    ApplyLanguage("");
    const ProgramState& s = programState;
    EXPECT_EQ(s.textUnknownError, "An unknown error occured. The program will be terminated.");
    EXPECT_EQ(s.textCaptureFailed, "Can not create webcam captures.\n\rError message:\n\r");
    EXPECT_EQ(ReplaceAll(s.textServerFailed, "x", "8080"), "Can not create the server on port 8080");
    EXPECT_EQ(s.textStartHidden, s.textHideInTray);
    EXPECT_EQ(s.textStartHidden, "Hide in tray");
    EXPECT_EQ(s.textFirefoxNotFound, "Firefox not found.");
    EXPECT_EQ(s.textSettingsNotSaved, "Can not save the settings.");
    EXPECT_EQ(s.textInactive, " Inactive");
    EXPECT_EQ(s.textStop, "Stop");
}
