// The Windows side of the core's platform calls: module path, temporary folder, CryptoAPI random
// bytes and SHA-1, Windows Sockets start-up, and wide-character file calls for UTF-8 paths.
#include "core/platform.h"

#include <winsock2.h>
#include <windows.h>
#include <wincrypt.h>

#include <algorithm>
#include <atomic>
#include <string_view>
#include <vector>

#include "windows/wide_text.h"

const char pathSeparator = '\\';
const bool settingsAlwaysUtf8 = true;
const char* const settingsLineEnd = "\r\n";
const char* const germanActivateServer = "Server automatisch starten";

namespace {

// The Win32 prefix that lifts the path length limit; the program's path is shown without it.
constexpr std::wstring_view longPathPrefix = L"\\\\?\\";

// Owns a file handle for the length of one operation.
struct FileHandle {
    HANDLE handle;
    explicit FileHandle(HANDLE h) : handle(h) {}
    ~FileHandle() {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    bool valid() const { return handle != INVALID_HANDLE_VALUE; }
};

constexpr int replaceAttempts = 20;
constexpr DWORD replacePause = 5;  // milliseconds

// Readers share writing and deletion, so that they never keep a writer out for long.
constexpr DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE OpenFile(const std::string& path, DWORD access, DWORD disposition) {
    return CreateFileW(WidePath(path).c_str(), access, shareAll, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool ReadWhole(HANDLE file, std::string& content, size_t limit) {
    content.clear();
    char chunk[16384];
    while (content.size() < limit) {
        DWORD wanted = DWORD(std::min(sizeof chunk, limit - content.size()));
        DWORD got = 0;
        if (!ReadFile(file, chunk, wanted, &got, nullptr)) return false;
        if (got == 0) break;
        content.append(chunk, got);
    }
    return true;
}

bool WriteWhole(HANDLE file, const std::string& content) {
    size_t done = 0;
    while (done < content.size()) {
        DWORD chunk = DWORD(std::min<size_t>(content.size() - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, content.data() + done, chunk, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

bool RewriteFromStart(HANDLE file, const std::string& content) {
    LARGE_INTEGER start{};
    return SetFilePointerEx(file, start, nullptr, FILE_BEGIN) && WriteWhole(file, content) &&
           SetEndOfFile(file) && FlushFileBuffers(file);
}

// Spares are named after the file they replace, this and the maker's process and serial number.
constexpr char spareInfix[] = ".new-";

// Spares that saves killed half way left behind; one still being written is open without
// sharing its deletion and stays.
void RemoveAbandonedSpares(const std::string& path) {
    std::string folder = path.substr(0, path.find_last_of("\\/") + 1);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(WidePath(path + spareInfix + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            DeleteFileW(WidePath(folder + PathFromWide(found.cFileName)).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// Owns a CryptoAPI context of the general-purpose provider, without any key container.
struct CryptoProvider {
    HCRYPTPROV handle = 0;
    CryptoProvider() {
        if (!CryptAcquireContextW(&handle, nullptr, nullptr, PROV_RSA_FULL,
                                  CRYPT_VERIFYCONTEXT | CRYPT_SILENT))
            handle = 0;
    }
    ~CryptoProvider() {
        if (handle) CryptReleaseContext(handle, 0);
    }
    CryptoProvider(const CryptoProvider&) = delete;
    CryptoProvider& operator=(const CryptoProvider&) = delete;
};

}  // namespace

std::string ReadProgramPath() {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) {
            std::wstring_view path(buffer.data(), length);
            if (path.substr(0, longPathPrefix.size()) == longPathPrefix)
                path.remove_prefix(longPathPrefix.size());
            return PathFromWide(path);
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string TemporaryDirectory() {
    wchar_t shortForm[MAX_PATH + 1];
    DWORD length = GetTempPathW(MAX_PATH + 1, shortForm);
    if (length == 0 || length > MAX_PATH) return {};
    std::wstring path(shortForm, length);
    DWORD longLength = GetLongPathNameW(path.c_str(), nullptr, 0);
    if (longLength > 0) {
        std::wstring longForm(longLength, L'\0');
        DWORD written = GetLongPathNameW(path.c_str(), longForm.data(), longLength);
        if (written > 0 && written < longLength) path.assign(longForm.data(), written);
    }
    if (path.empty() || path.back() != L'\\') path += L'\\';
    return PathFromWide(path);
}

bool RandomBytes(void* buffer, size_t count) {
    CryptoProvider provider;
    if (!provider.handle) return false;
    // A failed fill is not an error here: the buffer keeps its zero bytes, as on Linux.
    CryptGenRandom(provider.handle, DWORD(count), static_cast<BYTE*>(buffer));
    return true;
}

bool InitNetwork() {
    WSADATA data;
    return WSAStartup(MAKEWORD(1, 1), &data) == 0;
}

// Thread names exist only from Windows 10 on, and nothing of this build reads them.
void NameThisThread(const char*) {}

void ReturnFreedMemory() { HeapCompact(GetProcessHeap(), 0); }

std::string Sha1Hex(const void* data, size_t size) {
    CryptoProvider provider;
    HCRYPTHASH hash = 0;
    if (!provider.handle || !CryptCreateHash(provider.handle, CALG_SHA1, 0, 0, &hash)) return {};
    BYTE digest[20];
    DWORD digestSize = sizeof digest;
    bool hashed = CryptHashData(hash, static_cast<const BYTE*>(data), DWORD(size), 0) &&
                  CryptGetHashParam(hash, HP_HASHVAL, digest, &digestSize, 0) &&
                  digestSize == sizeof digest;
    CryptDestroyHash(hash);
    if (!hashed) return {};
    static const char hexDigits[] = "0123456789abcdef";
    std::string hex;
    for (BYTE b : digest) {
        hex += hexDigits[b >> 4];
        hex += hexDigits[b & 15];
    }
    return hex;
}

bool ReadFileBytes(const std::string& path, std::string& content, size_t limit) {
    FileHandle file(OpenFile(path, GENERIC_READ, OPEN_EXISTING));
    return file.valid() && ReadWhole(file.handle, content, limit);
}

bool FileWritable(const std::string& path) {
    // The read-only mark is a refusal of its own, whoever runs the program.
    DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY)) return false;
    return FileHandle(OpenFile(path, GENERIC_WRITE, OPEN_EXISTING)).valid();
}

bool FileExists(const std::string& path) {
    return GetFileAttributesW(WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool FolderTakesNewFiles(const std::string& folder) {
    // Permissions here are lists that only the attempt reads right: a file that vanishes again.
    std::string probe = folder + "lumora-" + std::to_string(GetCurrentProcessId()) + ".probe";
    return FileHandle(CreateFileW(WidePath(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr))
        .valid();
}

std::string UserSettingsFolder() {
    DWORD length = GetEnvironmentVariableW(L"APPDATA", nullptr, 0);
    if (length == 0) return {};
    std::wstring folder(length, L'\0');
    DWORD written = GetEnvironmentVariableW(L"APPDATA", folder.data(), length);
    if (written == 0 || written >= length) return {};
    folder.resize(written);
    if (folder.back() != L'\\') folder += L'\\';
    return PathFromWide(folder) + "Lumora\\";
}

bool ReplaceFileContent(const std::string& path, const std::string& content, FileSync sync) {
    static std::atomic<unsigned> serial{0};
    RemoveAbandonedSpares(path);
    std::string spare = path + spareInfix + std::to_string(GetCurrentProcessId()) + "-" +
                        std::to_string(serial++);
    bool written = false;
    {
        // Not shared for deletion: another save takes it for abandoned only once it is closed.
        FileHandle file(CreateFileW(WidePath(spare).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.valid())
            written = WriteWhole(file.handle, content) &&
                      (sync == FileSync::Quick || FlushFileBuffers(file.handle));
    }
    const DWORD moveFlags = MOVEFILE_REPLACE_EXISTING |
                            (sync == FileSync::Durable ? MOVEFILE_WRITE_THROUGH : 0);
    if (written) {
        // A name cannot be replaced while anyone has the file open, even sharing its deletion;
        // readers here hold it only for moments.
        for (int attempt = 0; attempt < replaceAttempts; ++attempt) {
            if (MoveFileExW(WidePath(spare).c_str(), WidePath(path).c_str(), moveFlags))
                return true;
            DWORD error = GetLastError();
            if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) break;
            Sleep(replacePause);
        }
    }
    DeleteFileW(WidePath(spare).c_str());
    // The folder takes no new file, or the old one stays open: rewriting in place is the only way
    // left, and the old bytes are the only way back when the new ones do not all arrive.
    FileHandle file(OpenFile(path, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING));
    std::string old;
    if (!file.valid() || !ReadWhole(file.handle, old, SIZE_MAX)) return false;
    if (RewriteFromStart(file.handle, content)) return true;
    RewriteFromStart(file.handle, old);
    return false;
}

bool CreateEmptyFile(const std::string& path) {
    return FileHandle(OpenFile(path, GENERIC_WRITE, OPEN_ALWAYS)).valid();
}

bool DirectoryOpens(const std::string& path) {
    DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

MakeDirectoryResult MakeDirectory(const std::string& path) {
    if (CreateDirectoryW(WidePath(path).c_str(), nullptr)) return MakeDirectoryResult::Created;
    return GetLastError() == ERROR_ALREADY_EXISTS ? MakeDirectoryResult::AlreadyExists
                                                  : MakeDirectoryResult::Failed;
}
