// A save of the settings cut off by SIGKILL at any moment, hundreds of times: settings.ini
// always holds the old or the new settings, whole, and a file that another save left half done
// beside it is never what the program reads. Two programs saving into one folder at once never
// publish each other's half-written file.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <thread>

#include "core/program_state.h"
#include "core/settings.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr int rounds = 300;
// The saving child gives up by itself after this, should the test be gone.
constexpr auto childLimit = std::chrono::seconds(30);

SettingsInput SettingsSet(bool first) {
    SettingsInput in;
    in.languageName = first ? "English" : "Deutsch";
    in.username = first ? "anna" : std::string("b\xE4r with a much longer name than anna has");
    in.password = first ? "pw" : "another password";
    in.server = first;
    in.hide = !first;
    in.ipcheck = first;
    in.port = first ? "8000" : "31999";
    in.device = first ? "0" : "12";
    return in;
}

// Saves the two sets in turn until killed; the first finished save is reported on `ready`.
[[noreturn]] void SaveForever(const std::string& path, int ready, bool first = true) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    programState.settingsPath = path;
    auto until = std::chrono::steady_clock::now() + childLimit;
    for (; std::chrono::steady_clock::now() < until; first = !first) {
        SaveSettings(SettingsSet(first));
        if (ready >= 0) {
            ssize_t ignored = write(ready, "r", 1);
            (void)ignored;
            close(ready);
            ready = -1;
        }
    }
    _exit(0);
}

const std::string start =
    "; the user's own note\nlanguage = English\nusername = old\npassword = "
    "0000000000000000000000000000000000000000\nserver = 0\nhide = 0\nipcheck = 0\nport = 1\ndevice = 0\n"
    "[later]\nkept = yes\n";

std::string SavedFrom(const std::string& path, const std::string& start, const std::vector<bool>& sets) {
    WriteFileText(path, start);
    programState.settingsPath = path;
    for (bool first : sets) SaveSettings(SettingsSet(first));
    return ReadFileText(path);
}

int LeftoversBeside(const std::string& dir) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.path().filename() != "settings.ini") ++count;
    return count;
}

}  // namespace

TEST(SettingsKill, AKilledSaveLeavesTheOldOrTheNewFileWhole) {
    TempDir scratch;
    const std::string afterFirst = SavedFrom(scratch.File("a.ini"), start, {true});
    const std::string afterSecond = SavedFrom(scratch.File("b.ini"), start, {true, false});
    // The child goes back and forth between exactly these two files.
    ASSERT_EQ(SavedFrom(scratch.File("c.ini"), start, {true, false, true}), afterFirst);
    ASSERT_EQ(SavedFrom(scratch.File("d.ini"), start, {true, false, true, false}), afterSecond);
    ASSERT_NE(afterFirst, afterSecond);
    const std::set<std::string> whole{start, afterFirst, afterSecond};

    TempDir dir;
    const std::string path = dir.File("settings.ini");
    WriteFileText(path, start);
    std::mt19937 random(std::random_device{}());
    std::map<std::string, int> seen;
    for (int round = 0; round < rounds; ++round) {
        int ready[2];
        ASSERT_EQ(pipe2(ready, O_CLOEXEC), 0);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(ready[0]);
            SaveForever(path, ready[1]);
        }
        close(ready[1]);
        // Every other round the kill may come before the first save is through.
        if (round % 2 == 0) {
            pollfd wait{ready[0], POLLIN, 0};
            EXPECT_EQ(poll(&wait, 1, 10000), 1) << "the child never finished a save";
        }
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 4000));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        close(ready[0]);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "round " << round;

        std::string content = ReadFileText(path);
        ASSERT_TRUE(whole.count(content)) << "round " << round << " left:\n" << content;
        ++seen[content == start ? "old" : content == afterFirst ? "first" : "second"];
    }
    std::printf("after %d kills: %d untouched, %d first set, %d second set; %d unfinished files beside\n",
                rounds, seen["old"], seen["first"], seen["second"], LeftoversBeside(dir.path()));
    // Both sets were met, so the kills did land while saves went on.
    EXPECT_GT(seen["first"], 0);
    EXPECT_GT(seen["second"], 0);
    // An unfinished save leaves at most its one temporary file, which the next save removes.
    EXPECT_LE(LeftoversBeside(dir.path()), 1);
}

TEST(SettingsKill, TwoProgramsSavingIntoOneFolderNeverPublishAHalfFile) {
    TempDir scratch;
    const std::set<std::string> whole{start, SavedFrom(scratch.File("a.ini"), start, {true}),
                                      SavedFrom(scratch.File("b.ini"), start, {false})};
    TempDir dir;
    const std::string path = dir.File("settings.ini");
    WriteFileText(path, start);
    pid_t savers[2];
    for (int i = 0; i < 2; ++i) {
        savers[i] = fork();
        ASSERT_GE(savers[i], 0);
        if (savers[i] == 0) SaveForever(path, -1, i == 0);
    }
    int reads = 0, broken = 0;
    for (auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
         std::chrono::steady_clock::now() < until; ++reads)
        broken += whole.count(ReadFileText(path)) == 0;
    for (pid_t saver : savers) {
        kill(saver, SIGKILL);
        waitpid(saver, nullptr, 0);
    }
    std::printf("%d reads while two programs saved, %d not whole\n", reads, broken);
    EXPECT_EQ(broken, 0);
    EXPECT_LE(LeftoversBeside(dir.path()), 2);
    // The spares of both killed savers are gone after the next save that changes the file.
    programState.settingsPath = path;
    SettingsInput third = SettingsSet(true);
    third.port = "4321";
    EXPECT_TRUE(SaveSettings(third));
    EXPECT_EQ(LeftoversBeside(dir.path()), 0);
}
