// The Linux build shows no texts beyond the shared ones.
#include "core/texts.h"

void ApplyPlatformTexts(bool) {}
