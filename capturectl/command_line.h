// How RunProcess turns a program name and an arguments text into what is executed: the file to
// run and the separate arguments.
#pragma once
#include <string>
#include <vector>

// The file to execute for `program`, or "" when there is none (see RunProcess).
std::string FindProgram(const std::string& program);

// Splits at spaces, tabs and line feeds; double quotes group blanks into one argument and are
// themselves dropped. A quoted empty text ("") is an empty argument; an unclosed quote groups
// up to the end.
std::vector<std::string> SplitArguments(const std::string& arguments);
