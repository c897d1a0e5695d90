// Compiled once per program so that a test build can point it at a loopback service.
#include "program/build_values.h"

const char* const serviceUrl = LUMORA_SERVICE_URL_VALUE;
const char* const installedProgramFolder = LUMORA_INSTALLED_FOLDER_VALUE;
