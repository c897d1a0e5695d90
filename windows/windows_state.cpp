// The Windows build's own record, beside programState.
#include "windows/windows_state.h"

WindowsState windowsState;
