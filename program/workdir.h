// The private per-run working directory under the temporary folder: choosing and creating it,
// and removing it with everything the program put there.
#pragma once
#include <string>

// The first of root+"lmr", root+"lmr1", root+"lmr2" ... that does not open as a directory,
// starting the count at `counter`, which is left at the next number to try.
std::string ChooseWorkDirName(const std::string& root, int& counter);

// Chooses and creates the working directory; returns it with a trailing separator. A name taken
// between the choice and the creation is passed over, so the program only ever fills a directory
// it created itself. Any other failure returns the chosen name all the same; it surfaces later.
std::string CreateWorkDir(const std::string& root);

// Writes the embedded helper program to `path` and adds the execute bits (mode | 0173).
bool InstallHelper(const char* path);

// Kills a still-running helper, deletes the frame and the helper, then the directory itself.
void CleanUpWorkDir();
