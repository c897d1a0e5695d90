// Values the build compiles into each program: the address-echo service and where a package
// installs the program.
#pragma once

// Base URL of the public-address echo service (LUMORA_SERVICE_URL).
extern const char* const serviceUrl;
// The folder, with its trailing separator, that an installed copy runs from; empty where the
// build installs nowhere (the Windows zip runs from wherever it was unpacked).
extern const char* const installedProgramFolder;
