// Program lookup and argument splitting for the process runner.
// A program file counts only when it can actually be run: not a directory, not empty, executable.
#include "capturectl/command_line.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace {

bool UsableProgramFile(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode) && info.st_size > 0 &&
           access(path.c_str(), X_OK) == 0;
}

bool StartsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }

}  // namespace

std::string FindProgram(const std::string& program) {
    if (program.empty()) return "";
    if (program.find('/') != std::string::npos && UsableProgramFile(program)) return program;
    if (StartsWith(program, "/") || StartsWith(program, "./")) return "";
    const char* path = std::getenv("PATH");
    if (!path) return "";
    std::string directories = path;
    size_t from = 0;
    for (;;) {
        size_t end = directories.find(':', from);
        std::string directory = directories.substr(from, end == std::string::npos ? end : end - from);
        // An empty entry stands for the current directory, as shells read PATH.
        std::string candidate = (directory.empty() ? "." : directory) + "/" + program;
        if (UsableProgramFile(candidate)) return candidate;
        if (end == std::string::npos) return "";
        from = end + 1;
    }
}

std::vector<std::string> SplitArguments(const std::string& arguments) {
    std::vector<std::string> result;
    std::string current;
    bool inArgument = false;
    bool quoted = false;
    for (char c : arguments) {
        if (c == '"') {
            quoted = !quoted;
            inArgument = true;
        } else if (IsBlank(c) && !quoted) {
            if (inArgument) result.push_back(current);
            current.clear();
            inArgument = false;
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inArgument) result.push_back(current);
    return result;
}
