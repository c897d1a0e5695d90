// The public-address check: the answer of the address-echo service, saved into the working
// directory only for as long as it takes to read its first line into the address field.
#include "desktop/public_address.h"

#include <cstdio>

#include "core/program_state.h"
#include "desktop/download.h"
#include "desktop/download_platform.h"
#include "desktop/gadgets.h"
#include "desktop/main_window.h"

namespace {

// Only the first line is read, however long the answer: it is all the field will show. It ends at
// the first CR, LF or zero byte.
std::string ReadFirstLine(const std::string& path) {
    std::string line;
    std::FILE* file = OpenDownloadFile(path);
    if (!file) return line;
    for (int c = std::getc(file); c != EOF && c != '\r' && c != '\n' && c != '\0'; c = std::getc(file))
        line += char(c);
    std::fclose(file);
    return line;
}

}  // namespace

void CheckPublicAddress(const std::string& downloadName, const std::string& answerName) {
    const ProgramState& s = programState;
    if (s.networkReady == 0) {
        ShowMessageBox(s.textErrorTitle, s.textNetworkFailed);
        return;
    }
    std::string answerPath = s.workDir + answerName;
    if (!DownloadToFile(s.serviceBaseUrl + "/" + downloadName, answerPath)) return;
    std::string line = ReadFirstLine(answerPath);
    DeleteDownloadFile(answerPath);
    SetGadgetText(gadgetAddressField, line);
}
