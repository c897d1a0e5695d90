#include "core/platform.h"

#include <dirent.h>
#include <pthread.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <glib.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

const char pathSeparator = '/';
const bool settingsAlwaysUtf8 = false;
const char* const settingsLineEnd = "\n";
const char* const germanActivateServer = "Server starten";

std::string ReadProgramPath() {
    std::vector<char> buffer(256);
    for (;;) {
        ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) return {};
        if (size_t(length) < buffer.size()) return std::string(buffer.data(), size_t(length));
        buffer.resize(buffer.size() * 2);
    }
}

std::string TemporaryDirectory() { return "/tmp/"; }

bool RandomBytes(void* buffer, size_t count) {
    int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    // A short read is not an error here: the rest of the buffer keeps its zero bytes.
    ssize_t ignored = read(fd, buffer, count);
    (void)ignored;
    close(fd);
    return true;
}

bool InitNetwork() { return true; }

void NameThisThread(const char* name) { pthread_setname_np(pthread_self(), name); }

std::string Sha1Hex(const void* data, size_t size) {
    gchar* digest = g_compute_checksum_for_data(G_CHECKSUM_SHA1, static_cast<const guchar*>(data),
                                                gsize(size));
    std::string result(digest);
    g_free(digest);
    return result;
}

namespace {

bool WriteWhole(int fd, const std::string& content) {
    size_t done = 0;
    while (done < content.size()) {
        ssize_t n = write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

std::string ResolveTarget(const std::string& path) {
    char* resolved = realpath(path.c_str(), nullptr);
    if (!resolved) return path;
    std::string target(resolved);
    free(resolved);
    return target;
}

}  // namespace

bool ReadFileBytes(const std::string& path, std::string& content) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    content.clear();
    char chunk[4096];
    for (;;) {
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            close(fd);
            return n == 0;
        }
        content.append(chunk, size_t(n));
    }
}

bool FileWritable(const std::string& path) { return access(path.c_str(), W_OK) == 0; }

bool ReplaceFileContent(const std::string& path, const std::string& content) {
    std::string target = ResolveTarget(path);
    struct stat old;
    mode_t mode = stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;

    // One fixed name: a save killed halfway leaves at most this one file, which the next save
    // takes over, instead of a new leftover every time.
    std::string temporary = target + ".new";
    int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 && errno == EEXIST && unlink(temporary.c_str()) == 0)
        fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        // The folder takes no new file: rewriting in place is the only way left.
        int inPlace = open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (inPlace < 0) return false;
        bool written = WriteWhole(inPlace, content);
        return close(inPlace) == 0 && written;
    }
    bool written = WriteWhole(fd, content) && fchmod(fd, mode) == 0 && fsync(fd) == 0;
    written = close(fd) == 0 && written;
    if (!written || rename(temporary.c_str(), target.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

bool CreateEmptyFile(const std::string& path) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    return close(fd) == 0;
}

const bool windowsSettingKeys = false;

bool DirectoryOpens(const std::string& path) {
    DIR* dir = opendir(path.c_str());
    if (!dir) return false;
    closedir(dir);
    return true;
}

MakeDirectoryResult MakeDirectory(const std::string& path) {
    if (mkdir(path.c_str(), 0700) == 0) return MakeDirectoryResult::Created;
    return errno == EEXIST ? MakeDirectoryResult::AlreadyExists : MakeDirectoryResult::Failed;
}
