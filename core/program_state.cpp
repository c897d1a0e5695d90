// The one process-wide record every subsystem reads and writes.
#include "core/program_state.h"

ProgramState programState;
