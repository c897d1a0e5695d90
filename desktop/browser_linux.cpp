// On Linux the browser is the program "firefox", looked up in PATH and not waited for.
#include "capturectl/process_runner.h"
#include "desktop/browser.h"

// The address goes as one argument, never split: a blank in it must not become a browser option.
bool OpenInBrowser(const std::string& address) { return RunProgram("firefox", {address}, "", 0) != 0; }
