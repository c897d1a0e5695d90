// Starting and stopping the server thread from the main thread, with the serverState handshake,
// and the status field and Start/Stop caption that follow it.
#pragma once

// Creates the server thread and waits for its answer; false (after the message) when the server
// could not be created.
bool StartServer();
// Asks the server thread to end, gives it 1000 ms, then ends it forcibly; shows the inactive
// status, forgets the logged-in browsers and the port it listened on.
void StopServer();
// StopServer, then the users field back to " 0".
void StopServerFromButton();
