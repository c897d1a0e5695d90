#include "core/program_state.h"

ProgramState programState;
