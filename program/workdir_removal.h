// Removing the working directory with system calls alone, so that the fatal-error handler, after
// a fault, removes it exactly as the normal end does.
#pragma once

// Deletes the frame and the helper, then the regular files directly inside `directory` (given
// without a trailing separator), then the directory itself, reading it again for a file that came
// meanwhile; a subdirectory, a symbolic link or an undeletable file keeps it in place after ten
// reads 10 ms apart, and a directory that is itself a symbolic link is not entered.
// Async-signal-safe: no allocation and no lock, only the paths given.
void RemoveWorkDirFiles(const char* jpegPath, const char* helperPath, const char* directory);
