// The fatal-error handler's message box on a display of the test's own: it shows the title and
// text of the language in force, the clean-up waits for its OK, and a display that no longer
// answers delays the end only by the few seconds the box is given to appear.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>

#include "tests/fatal/faulting_child.h"
#include "tests/support/temp_dir.h"
#include "tests/support/session.h"

namespace {

using Clock = std::chrono::steady_clock;

// The process the handler started to show the box: a child of the faulted process.
pid_t FindBoxProcess(pid_t faulted) {
    for (pid_t child : ChildrenOf(faulted))
        if (CommandLineOf(child).size() == 5) return child;
    return -1;
}

void ShowAnswerAndCheck(const std::string& language, const std::string& title, const std::string& text) {
    PrivateDisplay display;
    ASSERT_TRUE(display.ok()) << "no private X display";
    FaultPlan plan;
    plan.display = display.name();
    plan.language = language;
    FaultingChild child(plan);
    ASSERT_TRUE(child.ready());
    child.Fault();

    std::vector<std::string> boxes;
    ASSERT_TRUE(WaitUntil([&] { return !(boxes = FindWindows(display.name(), "^" + title + "$", true)).empty(); },
                          10000))
        << "no message box titled " << title;
    pid_t box = FindBoxProcess(child.pid());
    ASSERT_GT(box, 0);
    std::vector<std::string> shown = CommandLineOf(box);
    EXPECT_EQ(shown[3], title);
    EXPECT_EQ(shown[4], text);

    // Until the box is answered nothing is removed and the process goes on.
    int status = 0;
    EXPECT_FALSE(child.WaitForExit(700, status));
    EXPECT_TRUE(PathExists(child.workDir() + "capture"));
    EXPECT_TRUE(ProcessAlive(child.helper()));

    Clock::time_point pressed = Clock::now();
    RunCommand({"xdotool", "windowfocus", "--sync", boxes[0], "key", "Return"}, display.name());
    ASSERT_TRUE(child.WaitForExit(5000, status)) << "OK did not end the process";
    EXPECT_LT(SecondsSince(pressed), 5.0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_TRUE(WaitUntil([&] { return !ProcessAlive(child.helper()); }, 3000));
    EXPECT_FALSE(PathExists(child.workDir()));
    EXPECT_TRUE(FindWindows(display.name(), "^" + title + "$", true).empty());
}

TEST(FatalBox, EnglishBoxThenCleanUpAfterOk) {
    ShowAnswerAndCheck("", "Error", "An unknown error occured. The program will be terminated.");
}

TEST(FatalBox, GermanBoxThenCleanUpAfterOk) {
    ShowAnswerAndCheck("deutsch", "Fehler", "Es ist ein Fehler aufgetreten. Das Programm wird beendet.");
}

TEST(FatalBox, DisplayThatNoLongerAnswersDelaysTheEndOnlyBriefly) {
    PrivateDisplay display;
    ASSERT_TRUE(display.ok());
    FaultPlan plan;
    plan.display = display.name();
    FaultingChild child(plan);
    ASSERT_TRUE(child.ready());
    display.Freeze();
    Clock::time_point start = Clock::now();
    child.Fault();
    pid_t box = -1;
    EXPECT_TRUE(WaitUntil([&] { return (box = FindBoxProcess(child.pid())) > 0; }, 3000));
    int status = 0;
    bool ended = child.WaitForExit(12000, status);
    double seconds = SecondsSince(start);
    display.Thaw();
    ASSERT_TRUE(ended);
    EXPECT_GE(seconds, 4.5) << "the box was not given its time";
    EXPECT_LT(seconds, 9.0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_FALSE(PathExists(child.workDir()));
    EXPECT_TRUE(WaitUntil([&] { return !ProcessAlive(box); }, 3000)) << "the box process was not stopped";
}

}  // namespace
