// The public-address check: the answer of the address-echo service, saved into the working
// directory only for as long as it takes to read its first line into the address field.
#include "desktop/public_address.h"

#include <cstdio>

#include "core/program_state.h"
#include "core/text_util.h"
#include "desktop/download.h"
#include "desktop/download_platform.h"
#include "desktop/gadgets.h"
#include "desktop/host_name.h"
#include "desktop/main_window.h"

namespace {

// A dotted address with a few blanks around it fits; a longer line is no address, and no more of
// it is read than it takes to know that.
constexpr size_t longestLine = 64;

// The first line ends at the first CR, LF or zero byte.
std::string ReadFirstLine(const std::string& path) {
    std::string line;
    std::FILE* file = OpenDownloadFile(path);
    if (!file) return line;
    for (int c = std::getc(file); c != EOF && c != '\r' && c != '\n' && c != '\0'; c = std::getc(file)) {
        line += char(c);
        if (line.size() > longestLine) break;
    }
    std::fclose(file);
    return line;
}

// The check runs over plain HTTP, so anyone on the way can choose the answer, and Preview hands
// the field's text to the browser with the session id. A dotted address names no host of the
// answerer's choosing and holds no control character; the field keeps its blanks as they came.
bool TakenAsAddress(const std::string& line) {
    return line.empty() || (line.size() <= longestLine && IsDottedAddress(StripSpaces(line)));
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
    if (TakenAsAddress(line)) SetGadgetText(gadgetAddressField, line);
}
