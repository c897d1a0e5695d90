// Compiled once per program so that a test build can point it at a loopback service.
#include "core/constants.h"

const char* const serviceUrl = LUMORA_SERVICE_URL_VALUE;
