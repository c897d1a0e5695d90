// The one process-wide record every subsystem reads and writes, and the global that holds it.
// Values shared between threads are atomic or SharedText; everything else belongs to one thread.
#pragma once
#include <atomic>
#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/frame_semaphore.h"
#include "core/shared_text.h"

struct ProgramState {
    int32_t exitCode = 0;
    int argumentCount = 0;
    char** arguments = nullptr;

    // Fixed once start-up has finished.
    std::string programPath;
    std::string settingsPath;
    std::string serviceBaseUrl;
    int32_t networkReady = 0;
    FrameSemaphore frameSemaphore{0};
    std::vector<char> responseBuffer;
    std::vector<char> ioBuffer;
    std::string sessionId;
    std::string startupLanguage;
    std::string workDir;
    std::string jpegPath;

    // Language texts (main thread; the fatal-error handler only reads them).
    std::string languageName;
    std::string textErrorTitle;
    std::string textUnknownError;
    std::string textNetworkFailed;
    std::string textServerFailed;
    std::string textCaptureFailed;
    std::string textFirefoxNotFound;
    std::string textPreviewUnavailable;
    std::string textEnterCredentials;
    std::string textSettingsNotSaved;
    std::string textCredentialsNotLatin9;
    std::string textActive;
    std::string textInactive;
    std::string textStart;
    std::string textStop;
    std::string textUsers;
    std::string textSettings;
    std::string textPreview;
    std::string textHideInTray;
    std::string textProgramSettings;
    std::string textUsername;
    std::string textPassword;
    std::string textActivateServer;
    std::string textStartHidden;
    std::string textLanguage;
    std::string textDevice;
    std::string textCancel;

    // Loaded settings: replaced by the main thread, read by the server and capture threads.
    SharedText settingUsername;
    SharedText settingPasswordHash;
    SharedText settingServer;
    SharedText settingHide;
    SharedText settingIpCheck;
    SharedText settingPort;
    SharedText settingDevice;
    std::string settingLanguage;

    // Thread handshakes.
    std::atomic<int32_t> serverState{0};
    std::atomic<int32_t> userCount{0};
    std::atomic<int32_t> helperProcess{0};
    std::atomic<int32_t> mainWindowReady{0};
    // Written by the capture thread before its release store of -1 into helperProcess.
    std::string captureError;

    int32_t mainWindowHandle = 0;
    std::string runningPort;

    // Owned by the server thread; the main loop empties loggedInClients once that thread ended.
    std::vector<uint32_t> loggedInClients;               // most recent login first
    std::unordered_map<std::string, int64_t> clientLastSeen;  // decimal address -> monotonic s
    // Each new clientLastSeen time as (address, second), oldest first: the order in which the
    // entries of quiet addresses that are not logged in are dropped.
    std::deque<std::pair<uint32_t, int64_t>> clientStamps;
    // Owned by the server thread and kept over restarts, so that Stop and Start free no guesser:
    // the monotonic milliseconds of each address's latest wrong logins, oldest first.
    std::unordered_map<uint32_t, std::vector<int64_t>> wrongLoginTimes;
};

extern ProgramState programState;
