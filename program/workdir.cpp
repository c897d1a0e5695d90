// Choosing and creating the private per-run working directory under the temporary folder.
#include "program/workdir.h"

#include "core/constants.h"
#include "core/platform.h"
#include "core/text_util.h"

std::string ChooseWorkDirName(const std::string& root, int& counter) {
    std::string name = root + workDirPrefix;
    if (counter > 0) name += std::to_string(counter);
    while (DirectoryOpens(name)) name = root + workDirPrefix + std::to_string(++counter);
    ++counter;
    return name;
}

std::string CreateWorkDir(const std::string& root) {
    int counter = 0;
    std::string name = ChooseWorkDirName(root, counter);
    while (MakeDirectory(name) == MakeDirectoryResult::AlreadyExists)
        name = ChooseWorkDirName(root, counter);
    return AddTrailingSlash(name);
}
