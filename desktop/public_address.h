// The public-address check: asks the address-echo service which address this computer's requests
// come from and shows the first line of its answer in the main window's address field.
#pragma once
#include <string>

// Fetches serviceBaseUrl + "/" + downloadName into workDir + answerName, puts the answer's first
// line into the address field as it is (blanks kept), and deletes the answer file. Only an empty
// line or a dotted address with blanks around it is taken: any other line, like a failed
// download, changes nothing and says nothing. Without a network the user is told so.
void CheckPublicAddress(const std::string& downloadName, const std::string& answerName);
