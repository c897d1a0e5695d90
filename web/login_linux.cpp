// The Linux build has only ever stored one digest form.
#include "web/login.h"

bool FormerPasswordMatches(const std::string&, const std::string&) { return false; }
