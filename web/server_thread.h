// The web server's one thread: it listens on the port setting, answers requests one at a time,
// ages out quiet logins, and meets the main loop only through serverState and userCount.
#pragma once
#include <cstddef>
#include <cstdint>

inline constexpr int32_t serverIdle = 0;
inline constexpr int32_t serverCreated = 1;
inline constexpr int32_t serverFailed = -1;
inline constexpr int32_t serverStopRequested = -2;

// What the system's process tools call the thread.
inline constexpr const char* serverThreadName = "lumora-server";

// Bytes at the start of ioBuffer that one read of a request may fill.
inline constexpr size_t receiveAreaSize = 2048;

// The thread procedure: reads settingPort once, reports serverCreated or serverFailed, serves
// until it sees serverStopRequested, then sets userCount to 0 and closes every socket.
void ServerThread();
// Starts ServerThread. When it cannot be started, or one is still alive, serverFailed is
// reported in its place.
void CreateServerThread();
bool ServerThreadAlive();
// Sets serverStopRequested and wakes the thread, which otherwise sleeps until a browser needs it.
void RequestServerStop();
// For a thread that did not end after the stop request: makes it end now (it is woken, and no
// browser can hold it) and, once it has, makes sure the server is closed. No thread serves after.
void EndServerThread();
