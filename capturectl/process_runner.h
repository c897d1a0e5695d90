// Starting outside programs and watching them: their error output line by line, whether they
// still run, closing and killing them. Handles are small numbers that stay safe to use from
// several threads at once.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Options of RunProcess, combined with |.
enum : int {
    processKeepHandle = 1,     // the result is a handle; without it only 1 (started) or 0
    processConnectOutput = 2,  // the child's standard output goes to a pipe the handle drains
    processConnectError = 4,   // the child's error output goes to a pipe the handle keeps
    // The child is killed when the program ends, however it ends (killed from outside too).
    // Some systems already do so when the starting thread ends: start it from a thread that
    // outlives it, as the capture thread outlives its helper.
    processEndWithProgram = 8,
    // The child leads a process group of its own, and the group goes with it: every kill of the
    // child kills the group, and what is left of the group when the child ends is killed then,
    // so that no process the child started outlives it or keeps its pipes open.
    processOwnGroup = 16,
};

// Finds the program (a path with "/" naming a non-empty executable file is used as it is; a
// path beginning with "/" or "./" that does not is refused; any other name is looked up in
// PATH), splits the arguments at blanks with double quotes grouping, and starts it in
// `directory` (unless empty). Returns a handle > 0 with processKeepHandle, else 1; 0 when the
// program is not found or nothing could be started. The output options take effect only
// together with processKeepHandle: without a handle there is nobody to read the pipes.
int32_t RunProcess(const std::string& program, const std::string& arguments,
                   const std::string& directory, int options);
// The same with the arguments already separate: each reaches the program as it is, blanks and
// quotes included (a web address that must stay one argument, whatever it holds).
int32_t RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& directory, int options);

// True until the process has ended and been reaped. Its pipes do not count: a child of it may
// hold them open long after it has ended.
bool ProcessRunning(int32_t handle);

// The next complete line of the error output without its line feed (a carriage return before
// it stays), or "" when no complete line is there yet; an unfinished line is kept.
std::string ReadProcessErrorLine(int32_t handle);

// Frees the handle and closes its pipes; the process is neither waited for nor stopped.
void CloseProcess(int32_t handle);

// Sends SIGKILL to the process (with processOwnGroup to its group) unless it has already ended;
// neither waits nor frees the handle.
void KillProcess(int32_t handle);

// The same kill for the fatal-error path: async-signal-safe (no lock, no allocation).
void KillProcessForFatalError(int32_t handle);
