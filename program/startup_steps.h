// The start-up steps both builds take alike: the state record with its paths, buffers and
// network, and the session id. Each build's StartUp calls them in its own order.
#pragma once
#include "program/startup.h"

// Arguments for the toolkit, the client lists, program and settings paths, the echo-service
// URL, the two buffers, the network and the font.
void PrepareProgramState(int& argc, char**& argv, const DesktopStartUp& desktop);
// sessionId from 16 random bytes, left empty when there is no random source.
void MakeSessionId();
