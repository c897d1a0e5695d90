// Answers the program's message boxes from a thread of its own, as a user would: the box is modal
// and holds the thread that shows it until someone presses OK.
#pragma once
#include <functional>
#include <string>

// Waits at most `limitMs` for a message box with this title, hands its text to `seen` while the
// box still shows, then presses its OK. False when no such box came.
bool AnswerMessageBox(const std::string& title, const std::function<void(const std::string&)>& seen,
                      int limitMs);
