// On Linux the browser is the program "firefox", looked up in PATH and not waited for.
#include "capturectl/process_runner.h"
#include "desktop/browser.h"

bool OpenInBrowser(const std::string& address) { return RunProcess("firefox", address, "", 0) != 0; }
