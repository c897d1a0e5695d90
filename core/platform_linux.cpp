// The Linux side of the core's platform calls: program path, random bytes, SHA-1, files, folders.
#include "core/platform.h"

#include <dirent.h>
#include <pthread.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <glib.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/text_util.h"

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

void ReturnFreedMemory() { malloc_trim(0); }

std::string Sha1Hex(const void* data, size_t size) {
    gchar* digest = g_compute_checksum_for_data(G_CHECKSUM_SHA1, static_cast<const guchar*>(data),
                                                gsize(size));
    std::string result(digest);
    g_free(digest);
    return result;
}

namespace {

// Spare files are named after the file they replace, this and six random characters.
constexpr char spareInfix[] = ".new-";
constexpr size_t spareRandomLength = 6;
// A spare that vanishes under its maker (taken for abandoned by another save) is made again.
constexpr int spareAttempts = 8;

bool WriteWholeAt(int fd, const std::string& content, off_t offset) {
    size_t done = 0;
    while (done < content.size()) {
        ssize_t n = pwrite(fd, content.data() + done, content.size() - done, offset + off_t(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

bool ReadFromStart(int fd, std::string& content, size_t limit) {
    content.clear();
    char chunk[16384];
    while (content.size() < limit) {
        size_t wanted = std::min(sizeof chunk, limit - content.size());
        ssize_t n = pread(fd, chunk, wanted, off_t(content.size()));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        content.append(chunk, size_t(n));
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

void SyncFolder(const std::string& folder) {
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

// Spares of saves that were killed before they were through. A save holds a lock on its spare
// until the spare has taken the file's place, so a spare that can be locked has no maker left.
void RemoveAbandonedSpares(const std::string& folder, const std::string& prefix) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    while (const dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name.size() != prefix.size() + spareRandomLength || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        std::string spare = folder + name;
        int fd = open(spare.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat opened, named;
        if (flock(fd, LOCK_EX | LOCK_NB) == 0 && fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) &&
            lstat(spare.c_str(), &named) == 0 && named.st_dev == opened.st_dev &&
            named.st_ino == opened.st_ino)
            unlink(spare.c_str());
        close(fd);
    }
    closedir(dir);
}

// A new file beside the target, locked, under a name no other save uses; -1 when the folder
// takes no new file.
int MakeSpare(const std::string& prefix, std::string& spare) {
    for (int attempt = 0; attempt < spareAttempts; ++attempt) {
        spare = prefix + std::string(spareRandomLength, 'X');
        int fd = mkostemp(spare.data(), O_CLOEXEC);
        if (fd < 0) return -1;
        // Where the file system has no locks, no other save can take the spare for abandoned.
        while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
        }
        struct stat info;
        if (fstat(fd, &info) == 0 && info.st_nlink > 0) return fd;
        close(fd);
    }
    return -1;
}

// Without a spare file the old bytes are the only way back: they are read first, and written
// again when the new ones do not all arrive (a full disk, a file size limit).
bool RewriteInPlace(const std::string& target, const std::string& content) {
    int fd = open(target.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    std::string old;
    if (!ReadFromStart(fd, old, SIZE_MAX)) {
        close(fd);
        return false;
    }
    bool written = WriteWholeAt(fd, content, 0) && ftruncate(fd, off_t(content.size())) == 0 &&
                   fsync(fd) == 0;
    if (!written) {
        WriteWholeAt(fd, old, 0);
        if (ftruncate(fd, off_t(old.size())) == 0) fsync(fd);
    }
    return close(fd) == 0 && written;
}

}  // namespace

bool ReadFileBytes(const std::string& path, std::string& content, size_t limit) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool read = ReadFromStart(fd, content, limit);
    close(fd);
    return read;
}

bool FileWritable(const std::string& path) { return access(path.c_str(), W_OK) == 0; }

bool FileExists(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

bool FolderTakesNewFiles(const std::string& folder) {
    return faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

std::string UserSettingsFolder() {
    std::string base;
    // A relative value is no valid setting of the variable and counts as none.
    const char* configHome = getenv("XDG_CONFIG_HOME");
    if (configHome && configHome[0] == '/') {
        base = configHome;
    } else {
        const char* home = getenv("HOME");
        std::string homeFolder = home && home[0] ? home : "";
        if (homeFolder.empty()) {
            std::vector<char> buffer(16384);
            passwd entry, *found = nullptr;
            if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
                found->pw_dir)
                homeFolder = found->pw_dir;
        }
        if (homeFolder.empty()) return {};
        base = AddTrailingSlash(homeFolder) + ".config";
    }
    return AddTrailingSlash(base) + "lumora/";
}

bool ReplaceFileContent(const std::string& path, const std::string& content, FileSync sync) {
    std::string target = ResolveTarget(path);
    struct stat old;
    bool existed = stat(target.c_str(), &old) == 0;
    size_t slash = target.rfind('/');
    std::string folder = slash == std::string::npos ? "./" : target.substr(0, slash + 1);
    std::string prefix = target.substr(slash == std::string::npos ? 0 : slash + 1) + spareInfix;

    RemoveAbandonedSpares(folder, prefix);
    std::string spare;
    int fd = MakeSpare(folder + prefix, spare);
    // The folder takes no new file: rewriting in place is the only way left.
    if (fd < 0) return existed && RewriteInPlace(target, content);
    // A file that cannot be given to its owner stays the owner's file, rewritten in place: one
    // save by root must not leave the user a settings file they can no longer write.
    if (existed && fchown(fd, old.st_uid, old.st_gid) != 0) {
        unlink(spare.c_str());
        close(fd);
        return RewriteInPlace(target, content);
    }
    bool written = WriteWholeAt(fd, content, 0) &&
                   fchmod(fd, existed ? (old.st_mode & 07777) : 0644) == 0 &&
                   (sync == FileSync::Quick || fsync(fd) == 0);
    // The lock is held until the spare has taken the file's place.
    if (!written || rename(spare.c_str(), target.c_str()) != 0) {
        unlink(spare.c_str());
        close(fd);
        return false;
    }
    close(fd);
    if (sync == FileSync::Durable) SyncFolder(folder);
    return true;
}

bool CreateEmptyFile(const std::string& path) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    return close(fd) == 0;
}

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
