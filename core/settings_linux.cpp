// The Linux build keeps no settings beyond the shared ones.
#include "core/settings.h"

void LoadPlatformSettings(const SettingsFile&) {}

void SavePlatformSettingsAfter(const char*, SettingsFile&, const SettingsInput&) {}
