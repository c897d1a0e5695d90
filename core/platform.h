// What differs between the Linux and the Windows build of the core, behind one set of calls.
// Each build links exactly one implementation (platform_linux.cpp or windows/platform_win.cpp).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

extern const char pathSeparator;
// The settings file is always UTF-8 on Windows; on Linux only when it carries a byte-order mark.
extern const bool settingsAlwaysUtf8;
extern const char* const settingsLineEnd;

// Resolved path of the running executable; empty when the system cannot tell.
std::string ReadProgramPath();
// The folder that holds working directories, with a trailing separator.
std::string TemporaryDirectory();
// Fills `count` bytes from the system's random source; false when it cannot be opened.
bool RandomBytes(void* buffer, size_t count);
// Starts the network stack; false when it cannot be used.
bool InitNetwork();
// Gives the calling thread a name that the system's process tools show (at most 15 characters).
void NameThisThread(const char* name);
// Gives memory that the program has freed back to the system, where the allocator would
// otherwise keep it for later (after a crowd's entries are gone).
void ReturnFreedMemory();
// SHA-1 of the bytes as 40 lowercase hexadecimal digits, from the platform's maintained library.
std::string Sha1Hex(const void* data, size_t size);
inline std::string Sha1Hex(const std::string& text) { return Sha1Hex(text.data(), text.size()); }
// German caption of the auto-start check box; the Windows build words it differently.
extern const char* const germanActivateServer;

// The content of a file, at most `limit` bytes of it; false when it cannot be opened or read.
bool ReadFileBytes(const std::string& path, std::string& content, size_t limit = SIZE_MAX);
// Whether the file may be opened for writing (it exists and permissions allow it).
bool FileWritable(const std::string& path);
// Whether anything of that name exists.
bool FileExists(const std::string& path);
// Whether a new file may be made in the folder (given with its trailing separator).
bool FolderTakesNewFiles(const std::string& folder);
// The folder, with a trailing separator, where the user's own settings belong when the program's
// folder is not theirs; empty when the system cannot tell.
std::string UserSettingsFolder();
// Replaces the file's content so that no reader and no crash ever meets a half-written file: a new
// file of a name of its own beside it, renamed over it, keeping its permissions and owner; a
// symbolic link keeps pointing at it. Where no such file can be made or given to the owner, the
// file is rewritten in place and gets its old bytes back when the new ones do not all arrive.
// Durable also waits until the bytes are on the disk; a file rewritten twice a second that nobody
// needs after a crash (a camera frame) is not worth that wait.
// False when the file does not hold the new content.
enum class FileSync { Durable, Quick };
bool ReplaceFileContent(const std::string& path, const std::string& content,
                        FileSync sync = FileSync::Durable);
// Creates an empty file with the default permissions; false when it cannot.
bool CreateEmptyFile(const std::string& path);

// Whether the path opens as a directory (it exists and is readable).
bool DirectoryOpens(const std::string& path);
enum class MakeDirectoryResult { Created, AlreadyExists, Failed };
// Creates a directory private to the user (0700 on Linux, subject to the umask).
MakeDirectoryResult MakeDirectory(const std::string& path);
