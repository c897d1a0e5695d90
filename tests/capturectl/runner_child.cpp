// A child program for the process-runner tests: each argument is one step, done in order, so a
// test can make it behave as the case needs (the step names are in main below).
#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n <= 0) std::exit(3);
        done += size_t(n);
    }
}

bool WritePidFile(const std::string& path, pid_t pid) {
    FILE* file = std::fopen(path.c_str(), "w");
    if (!file) return false;
    std::fprintf(file, "%d\n", int(pid));
    return std::fclose(file) == 0;
}

bool Take(const std::string& step, const char* prefix, std::string& rest) {
    size_t length = std::strlen(prefix);
    if (step.compare(0, length, prefix) != 0) return false;
    rest = step.substr(length);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::string step = argv[i], value;
        if (step == "args") {
            // The rest are arguments to show, not steps.
            for (int j = 0; j < argc; ++j) WriteAll(2, "[" + std::string(argv[j]) + "]\n");
            return 0;
        } else if (step == "cwd") {
            char directory[4096];
            WriteAll(2, std::string(getcwd(directory, sizeof directory) ? directory : "?") + "\n");
        } else if (step == "pid") {
            WriteAll(2, std::to_string(getpid()) + "\n");
        } else if (step == "fds") {
            // Every open descriptor but the one that lists them.
            std::string list;
            if (DIR* dir = opendir("/proc/self/fd")) {
                while (dirent* entry = readdir(dir))
                    if (entry->d_name[0] != '.' && std::atoi(entry->d_name) != dirfd(dir))
                        list += std::string(list.empty() ? "" : " ") + entry->d_name;
                closedir(dir);
            }
            WriteAll(2, list + "\n");
        } else if (step == "signals") {
            struct sigaction pipeAction {};
            sigaction(SIGPIPE, nullptr, &pipeAction);
            sigset_t blocked;
            sigprocmask(SIG_SETMASK, nullptr, &blocked);
            WriteAll(2, std::string(pipeAction.sa_handler == SIG_IGN ? "SIGPIPE ignored" : "SIGPIPE default") +
                            (sigismember(&blocked, SIGUSR1) ? ", SIGUSR1 blocked\n" : ", SIGUSR1 open\n"));
        } else if (step == "closeout") {
            close(1);
        } else if (step == "forever") {
            for (;;) pause();
        } else if (Take(step, "say:", value)) {
            WriteAll(2, value + "\n");
        } else if (Take(step, "cr:", value)) {
            WriteAll(2, value + "\r\n");
        } else if (Take(step, "raw:", value)) {
            WriteAll(2, value);
        } else if (Take(step, "errbytes:", value)) {
            WriteAll(2, std::string(std::stoul(value), 'e'));
        } else if (Take(step, "outbytes:", value)) {
            WriteAll(1, std::string(std::stoul(value), 'o'));
        } else if (Take(step, "pidfile:", value)) {
            if (!WritePidFile(value, getpid())) return 4;
        } else if (Take(step, "spawn:", value)) {
            // A child of its own that keeps every descriptor and waits, as a helper process
            // that a library starts would; its pid goes to the file.
            pid_t spawned = fork();
            if (spawned == 0) {
                for (;;) pause();
            }
            if (spawned < 0 || !WritePidFile(value, spawned)) return 5;
        } else if (Take(step, "sleep:", value)) {
            usleep(useconds_t(std::stoul(value) * 1000));
        } else if (Take(step, "exit:", value)) {
            return std::atoi(value.c_str());
        } else {
            WriteAll(2, "unknown step " + step + "\n");
            return 2;
        }
    }
    return 0;
}
