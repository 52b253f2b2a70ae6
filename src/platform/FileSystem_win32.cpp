// Files and folders on Windows, through the wide-character calls. The
// attribute rules: an existence test counts hidden and system files as
// missing; a listing shows plain, read-only and hidden entries and folders,
// but no system entry and no linked folder.
#include <shlobj.h>

#include <algorithm>
#include <string>

#include "platform/Failure.h"
#include "platform/FileSystem.h"
#include "platform/Win32.h"

namespace vantoril {

namespace {

using win32::Handle;
using win32::wide;

bool writeAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

DWORD attributesOf(const std::string& path) { return ::GetFileAttributesW(wide(path).c_str()); }

bool isFolder(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void writeNew(const std::string& path, std::string_view bytes, bool mustBeNew) {
  // OPEN_ALWAYS and a cut to nothing rather than CREATE_ALWAYS, which
  // refuses to replace a hidden file.
  Handle file(::CreateFileW(wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            mustBeNew ? CREATE_NEW : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    const DWORD error = ::GetLastError();
    // Say what is in the way, not only "exists" or "access denied".
    if (isFolder(attributesOf(path))) throw Failure("无法创建文件 " + path + "：同名的文件夹已经存在");
    win32::fail("无法创建文件 " + path, error);
  }
  const bool ok = (mustBeNew || ::SetEndOfFile(file.get())) && writeAll(file.get(), bytes);
  DWORD error = ok ? ERROR_SUCCESS : ::GetLastError();
  if (!file.close() && ok) error = ::GetLastError();
  if (error != ERROR_SUCCESS) {
    // A file this call created is not left behind half-written.
    if (mustBeNew) ::DeleteFileW(wide(path).c_str());
    win32::fail("无法写入文件 " + path, error);
  }
}

// Cuts `file` back to `size` bytes; false when it cannot.
bool cutBack(HANDLE file, LONGLONG size) {
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile.QuadPart = size;
  return ::SetFileInformationByHandle(file, FileEndOfFileInfo, &end, sizeof end) != 0;
}

}  // namespace

char pathSeparator() { return '\\'; }

std::string programFile() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) win32::fail("无法确定程序文件夹", ::GetLastError());
    if (n < buffer.size()) {
      buffer.resize(n);
      return win32::utf8(buffer);
    }
    if (buffer.size() >= 32768) throw Failure("无法确定程序文件夹：路径太长");
    buffer.resize(buffer.size() * 2);
  }
}

std::string programFolder() {
  const std::string file = programFile();
  const auto slash = file.find_last_of("\\/");
  return file.substr(0, slash == std::string::npos ? 0 : slash);
}

// A trial file rather than a look at the attributes: who may write a folder
// is in its ACL (Program Files lets users read only), which the read-only
// attribute does not show. The file is created new, under a name of this
// process and this moment (a name already there, a trial file a crash left
// behind, is passed over for the next), and deleted when its handle closes,
// by the system even when the program is killed. Trial files left behind
// are deleted once the folder proves writable: they never decide.
bool folderWritable(const std::string& folder) {
  constexpr std::wstring_view kTrial = L".vantoril-write-test-";
  const std::wstring base = wide(folder) + L"\\" + std::wstring(kTrial);
  LARGE_INTEGER now{};
  ::QueryPerformanceCounter(&now);
  const std::wstring ours = std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(now.QuadPart) + L"-";
  win32::Handle file;
  std::wstring name;
  for (int attempt = 0; !file.valid(); ++attempt) {
    if (attempt == 16) return false;
    name = std::wstring(kTrial) + ours + std::to_wstring(attempt);
    file.reset(::CreateFileW((wide(folder) + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!file.valid() && ::GetLastError() != ERROR_FILE_EXISTS) return false;
  }
  WIN32_FIND_DATAW found{};
  const HANDLE search = ::FindFirstFileW((base + L"*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      // Another process's trial in progress cannot be deleted (it shares nothing).
      if (found.cFileName != name) ::DeleteFileW((wide(folder) + L"\\" + found.cFileName).c_str());
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
  }
  return true;
}

std::string userDataFolder() {
  wchar_t base[MAX_PATH] = {};
  const HRESULT result = ::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, base);
  if (FAILED(result)) win32::fail("无法确定用户的数据文件夹（LOCALAPPDATA）", static_cast<DWORD>(result));
  const std::string folder = win32::utf8(base) + "\\Vantoril";
  ensureFolder(folder);
  return folder;
}

std::optional<std::string> documentsFolder() {
  wchar_t folder[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, 0, folder))) return std::nullopt;
  const DWORD a = ::GetFileAttributesW(folder);
  if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_DIRECTORY) == 0) return std::nullopt;
  return win32::utf8(folder);
}

bool fileExists(const std::string& path) {
  const DWORD a = attributesOf(path);
  return a != INVALID_FILE_ATTRIBUTES &&
         (a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
}

std::optional<std::chrono::system_clock::time_point> folderChangedAt(const std::string& folder) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(wide(folder).c_str(), GetFileExInfoStandard, &data) ||
      !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return std::nullopt;
  // 100-ns units since 1601-01-01; the Unix epoch is 11644473600 s later.
  const long long ticks = static_cast<long long>((static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                                                 data.ftLastWriteTime.dwLowDateTime);
  return std::chrono::system_clock::time_point(std::chrono::duration_cast<std::chrono::system_clock::duration>(
      std::chrono::duration<long long, std::ratio<1, 10000000>>(ticks) - std::chrono::seconds(11644473600LL)));
}

std::vector<FolderEntry> listFolder(const std::string& folder) {
  std::vector<FolderEntry> entries;
  std::string base = folder;
  if (base.empty() || (base.back() != '/' && base.back() != '\\')) base += '\\';
  WIN32_FIND_DATAW found{};
  const HANDLE search = ::FindFirstFileExW(wide(base + "*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                           nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_DIRECTORY) return entries;
    win32::fail("无法列出文件夹 " + folder, error);
  }
  struct Close {
    HANDLE h;
    ~Close() { ::FindClose(h); }
  } close{search};
  do {
    const std::wstring_view name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const DWORD a = found.dwFileAttributes;
    if (a & FILE_ATTRIBUTE_SYSTEM) continue;
    const bool folderEntry = (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
    // A linked folder is no folder of the catalogue: a scan never follows a link loop.
    if (folderEntry && (a & FILE_ATTRIBUTE_REPARSE_POINT)) continue;
    entries.push_back({win32::utf8(name), folderEntry});
  } while (::FindNextFileW(search, &found));
  if (const DWORD error = ::GetLastError(); error != ERROR_NO_MORE_FILES) win32::fail("无法列出文件夹 " + folder, error);
  // Wine, on another file system, lists in that file system's order.
  sortLikeNtfs(entries);
  return entries;
}

std::string readWholeFile(const std::string& path) {
  Handle file(::CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    const DWORD error = ::GetLastError();
    if (isFolder(attributesOf(path))) throw Failure("无法读取：" + path + " 不是普通文件");
    win32::fail("无法打开文件 " + path, error);
  }
  if (::GetFileType(file.get()) != FILE_TYPE_DISK) throw Failure("无法读取：" + path + " 不是普通文件");
  std::string bytes;
  LARGE_INTEGER size{};
  if (::GetFileSizeEx(file.get(), &size)) bytes.reserve(static_cast<std::size_t>(size.QuadPart));
  char buffer[65536];
  for (;;) {
    DWORD n = 0;
    if (!::ReadFile(file.get(), buffer, sizeof buffer, &n, nullptr)) win32::fail("无法读取文件 " + path, ::GetLastError());
    if (n == 0) break;
    bytes.append(buffer, n);
  }
  return bytes;
}

std::optional<std::string> readFileIfExists(const std::string& path) {
  if (!fileExists(path)) return std::nullopt;
  return readWholeFile(path);
}

void writeWholeFile(const std::string& path, std::string_view bytes) { writeNew(path, bytes, false); }

// One temporary name per file, held for this writer alone while written; a
// writer that finds it held waits a little for the other, then fails.
void replaceFile(const std::string& path, std::string_view bytes) {
  const std::string temporary = temporaryPath(path);
  Handle file;
  for (int tries = 0;; ++tries) {
    file.reset(::CreateFileW(wide(temporary).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                             nullptr));
    if (file.valid()) break;
    const DWORD error = ::GetLastError();
    if (error != ERROR_SHARING_VIOLATION || tries == 100) win32::fail("无法写入文件 " + path + "（临时文件 " + temporary + "）", error);
    ::Sleep(50);
  }
  const bool ok = ::SetEndOfFile(file.get()) && writeAll(file.get(), bytes) && ::FlushFileBuffers(file.get());
  DWORD error = ok ? ERROR_SUCCESS : ::GetLastError();
  if (!file.close() && ok) error = ::GetLastError();
  if (error == ERROR_SUCCESS &&
      ::MoveFileExW(wide(temporary).c_str(), wide(path).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return;
  if (error == ERROR_SUCCESS) error = ::GetLastError();
  ::DeleteFileW(wide(temporary).c_str());
  win32::fail("无法写入文件 " + path, error);
}

void createNewFile(const std::string& path, std::string_view bytes) { writeNew(path, bytes, true); }

namespace {

// Appends `bytes` at the end of the open file, on disk before the call
// returns when `durable`, and closes it; on any failure the file is cut
// back to the size it had.
void appendAndClose(Handle& file, std::string_view bytes, bool durable, const std::string& path) {
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.get(), &size) || !::SetFilePointerEx(file.get(), size, nullptr, FILE_BEGIN))
    win32::fail("无法读取文件 " + path, ::GetLastError());
  if (!writeAll(file.get(), bytes) || (durable && !::FlushFileBuffers(file.get()))) {
    const DWORD error = ::GetLastError();
    cutBack(file.get(), size.QuadPart);
    win32::fail("无法写入文件 " + path, error);
  }
  if (!file.close()) {
    const DWORD error = ::GetLastError();
    file.reset(::CreateFileW(wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.valid()) cutBack(file.get(), size.QuadPart);
    win32::fail("无法写入文件 " + path, error);
  }
}

// The bytes of the open file from byte `from` on.
std::string readAt(HANDLE file, unsigned long long from, const std::string& path) {
  LARGE_INTEGER at{};
  at.QuadPart = static_cast<LONGLONG>(from);
  if (!::SetFilePointerEx(file, at, nullptr, FILE_BEGIN)) win32::fail("无法读取文件 " + path, ::GetLastError());
  std::string bytes;
  char buffer[65536];
  for (;;) {
    DWORD n = 0;
    if (!::ReadFile(file, buffer, sizeof buffer, &n, nullptr)) win32::fail("无法读取文件 " + path, ::GetLastError());
    if (n == 0) return bytes;
    bytes.append(buffer, n);
  }
}

}  // namespace

void appendToFile(const std::string& path, std::string_view bytes) {
  Handle file(::CreateFileW(wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) win32::fail("无法打开文件 " + path + " 以追加数据", ::GetLastError());
  if (::GetFileType(file.get()) != FILE_TYPE_DISK) throw Failure("无法追加数据：" + path + " 不是普通文件");
  appendAndClose(file, bytes, false, path);
}

bool appendToExistingFile(const std::string& path, std::string_view bytes) {
  if (!fileExists(path)) return false;
  appendToFile(path, bytes);
  return true;
}

void removeFile(const std::string& path) {
  if (!::DeleteFileW(wide(path).c_str())) win32::fail("无法删除文件 " + path, ::GetLastError());
}

bool removeFileIfExists(const std::string& path) {
  if (::DeleteFileW(wide(path).c_str())) return true;
  const DWORD error = ::GetLastError();
  if (error == ERROR_FILE_NOT_FOUND) return false;
  win32::fail("无法删除文件 " + path, error);
}

void syncFile(const std::string& path) {
  Handle file(::CreateFileW(wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid() || !::FlushFileBuffers(file.get())) win32::fail("无法把文件 " + path + " 写到磁盘", ::GetLastError());
}

void syncFolder(const std::string&) {}

std::string readFileFrom(const std::string& path, unsigned long long from) {
  Handle file(::CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) win32::fail("无法打开文件 " + path, ::GetLastError());
  return readAt(file.get(), from, path);
}

unsigned long long fileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(wide(path).c_str(), GetFileExInfoStandard, &data))
    win32::fail("无法读取文件 " + path + " 的大小", ::GetLastError());
  return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

void truncateFile(const std::string& path, unsigned long long size) {
  Handle file(::CreateFileW(wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid() || !cutBack(file.get(), static_cast<LONGLONG>(size)))
    win32::fail("无法截短文件 " + path, ::GetLastError());
}

std::optional<OpenFile> OpenFile::forAppend(const std::string& path) {
  if (!fileExists(path)) return std::nullopt;
  HANDLE handle = ::CreateFileW(wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  OpenFile file(path, reinterpret_cast<std::intptr_t>(handle));
  LARGE_INTEGER size{};
  if (::GetFileType(handle) != FILE_TYPE_DISK || !::GetFileSizeEx(handle, &size)) return std::nullopt;
  file.size_ = static_cast<unsigned long long>(size.QuadPart);
  return file;
}

OpenFile::OpenFile(OpenFile&& other) noexcept
    : path_(std::move(other.path_)), handle_(other.handle_), size_(other.size_) {
  other.handle_ = 0;
}

OpenFile::~OpenFile() {
  if (handle_) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

std::string OpenFile::readFrom(unsigned long long from) const {
  return readAt(reinterpret_cast<HANDLE>(handle_), from, path_);
}

void OpenFile::truncate(unsigned long long size) {
  if (!cutBack(reinterpret_cast<HANDLE>(handle_), static_cast<LONGLONG>(size)))
    win32::fail("无法截短文件 " + path_, ::GetLastError());
  size_ = size;
}

void OpenFile::appendAndClose(std::string_view bytes, bool durable) {
  Handle file(reinterpret_cast<HANDLE>(handle_));
  handle_ = 0;
  vantoril::appendAndClose(file, bytes, durable, path_);
}

void renameFile(const std::string& from, const std::string& to) {
  // Without MOVEFILE_REPLACE_EXISTING an existing file is never replaced.
  if (::MoveFileExW(wide(from).c_str(), wide(to).c_str(), 0)) return;
  const DWORD error = ::GetLastError();
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) throw Failure("无法改名：文件 " + to + " 已经存在");
  win32::fail("无法把文件 " + from + " 改名为 " + to, error);
}

void renameOver(const std::string& from, const std::string& to) {
  if (!::MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    win32::fail("无法把文件 " + from + " 改名为 " + to, ::GetLastError());
}

std::string linkTarget(const std::string& path) {
  const DWORD attributes = attributesOf(path);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return path;
  // Opened through the link, the handle names the file it leads to.
  Handle file(::CreateFileW(wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file.valid()) return path;
  std::wstring target(32768, L'\0');
  const DWORD n = ::GetFinalPathNameByHandleW(file.get(), target.data(), static_cast<DWORD>(target.size()),
                                              FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (n == 0 || n >= target.size()) return path;
  target.resize(n);
  if (target.starts_with(L"\\\\?\\UNC\\")) target = L"\\\\" + target.substr(8);
  else if (target.starts_with(L"\\\\?\\")) target = target.substr(4);
  return win32::utf8(target);
}

bool readOnlyFile(const std::string& path) {
  const DWORD attributes = attributesOf(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !isFolder(attributes) && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

void keepPermissions(const std::string&, const std::string&) {}

void ensureFolder(const std::string& path) {
  if (::CreateDirectoryW(wide(path).c_str(), nullptr)) return;
  const DWORD error = ::GetLastError();
  if (isFolder(attributesOf(path))) return;
  if (error == ERROR_ALREADY_EXISTS) throw Failure("无法创建文件夹 " + path + "：同名的文件已经存在");
  win32::fail("无法创建文件夹 " + path, error);
}

}  // namespace vantoril
