#pragma once
// Files and folders as the program sees them. Paths are UTF-8.
//
// Attribute rules: nothing counts as hidden; an entry that is neither a
// regular file nor a folder (socket, FIFO, device, broken link) counts as a
// system entry, so it is never listed and is missing for the existence test.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantoril {

struct FolderEntry {
  std::string name;
  bool isFolder = false;
};

// The running program's file (on Linux, with every link followed).
std::string programFile();
// The folder that holds the program file.
std::string programFolder();

// The folder of the places (WebSite), the data (WeatherData) and the
// program's other files of its own: the program folder when the program may
// write there, as designed; else (a program installed for all users, in a
// folder only the system changes) the user's own folder for the program,
// userDataFolder(), made when missing.
std::string dataFolder(const std::string& programFolder);

// Whether the program may create files in `folder`.
bool folderWritable(const std::string& folder);

// The user's own folder for the program's data, made with its parents when
// missing: $XDG_DATA_HOME/vantoril (by default ~/.local/share/vantoril) on
// Linux, %LOCALAPPDATA%\Vantoril on Windows.
std::string userDataFolder();

// The user's documents folder, where a file the user keeps is first
// offered: XDG_DOCUMENTS_DIR of ~/.config/user-dirs.dirs (else the home
// folder) on Linux, the Documents known folder on Windows. None when the
// system names none that exists.
std::optional<std::string> documentsFolder();

// The separator of the paths the program builds: '/' on Linux, '\\' on
// Windows, where paths handed to the shell must read as Windows paths.
char pathSeparator();

// True when `path` names a regular file (through links).
bool fileExists(const std::string& path);

// The files and folders of `folder` in the order NTFS lists them (see
// sortLikeNtfs), "." and ".." left out. A folder reached through a symbolic link is not listed as a
// folder (a scan never follows a link loop). A missing folder gives no entries.
std::vector<FolderEntry> listFolder(const std::string& folder);

// When the entries of `folder` last changed (a file made, renamed or removed
// in it), as its file system keeps that time; nothing when the folder
// cannot be looked at (missing, not a folder).
std::optional<std::chrono::system_clock::time_point> folderChangedAt(const std::string& folder);

// Puts entries in the order NTFS lists a folder: by ordinal comparison of
// the names upper-cased, in UTF-16 code units.
void sortLikeNtfs(std::vector<FolderEntry>& entries);
// A name as NTFS compares it: upper-cased, in UTF-16 code units.
std::u16string ntfsNameKey(std::string_view name);

std::string readWholeFile(const std::string& path);
// readWholeFile(path) of a file fileExists(path) finds; nothing when it
// finds none.
std::optional<std::string> readFileIfExists(const std::string& path);
// Creates or truncates the file and writes `bytes`.
void writeWholeFile(const std::string& path, std::string_view bytes);
// Writes `bytes` under temporaryPath(path) and renames it over `path`: the
// file holds either what it held or all of `bytes`, and keeps it through a
// power cut (the temporary file is on disk before the rename, the rename
// before the call returns). A temporary file a crash left behind is
// reused by the next call; two writers at once take turns.
void replaceFile(const std::string& path, std::string_view bytes);
// The one temporary name replaceFile(path, …) writes under: "<path>.tmp".
std::string temporaryPath(const std::string& path);
// Creates the file, which must not exist yet, and writes `bytes`.
void createNewFile(const std::string& path, std::string_view bytes);
// Appends `bytes` in one piece: on any failure the file is cut back to the
// size it had, so nothing half-written stays.
void appendToFile(const std::string& path, std::string_view bytes);
// appendToFile(path, bytes) when fileExists(path) finds the file; false,
// doing nothing, when it finds none.
bool appendToExistingFile(const std::string& path, std::string_view bytes);
// Appends `bytes` to the file; a missing file is made holding `header` and
// `bytes`, in one write. A file another writer makes in between is
// appended to (its header is its own).
void appendOrCreateFile(const std::string& path, std::string_view bytes, std::string_view header = {});
void removeFile(const std::string& path);
// removeFile(path) where there is something to remove; false where there is
// none.
bool removeFileIfExists(const std::string& path);
// Makes the file's bytes so far durable (fdatasync; FlushFileBuffers).
void syncFile(const std::string& path);
// Makes the folder's entries so far (created, renamed, removed files)
// durable: fsync of the folder on Linux; nothing on Windows, where the file
// system keeps them in order itself.
void syncFolder(const std::string& path);
// The part of the file from byte `from` on (nothing before the file's end
// past it).
std::string readFileFrom(const std::string& path, unsigned long long from);
// The size of a file in bytes.
unsigned long long fileSize(const std::string& path);
// Cuts the file to its first `size` bytes.
void truncateFile(const std::string& path, unsigned long long size);

// A regular file kept open to read its end, cut it and append to it, so
// that the three take one open. Closed when the object goes.
class OpenFile {
 public:
  // The file at `path` (through links) opened for reading and writing;
  // nothing where fileExists finds no file or the file cannot be opened so
  // (read-only, held by another program, no permission): each separate call
  // above then says why.
  static std::optional<OpenFile> forAppend(const std::string& path);
  OpenFile(OpenFile&& other) noexcept;
  OpenFile& operator=(OpenFile&&) = delete;
  ~OpenFile();

  // Its size when opened, or cut.
  unsigned long long size() const { return size_; }
  // readFileFrom's promise.
  std::string readFrom(unsigned long long from) const;
  // truncateFile's promise.
  void truncate(unsigned long long size);
  // appendToFile's promise, on disk before the call returns when
  // `durable` (syncFile's promise); the file is closed then (a failed close
  // cuts it back too) and the object does nothing more.
  void appendAndClose(std::string_view bytes, bool durable = false);

 private:
  OpenFile(std::string path, std::intptr_t handle) : path_(std::move(path)), handle_(handle) {}
  std::string path_;
  std::intptr_t handle_;
  unsigned long long size_ = 0;
};

// Renames within one folder; never replaces an existing file.
void renameFile(const std::string& from, const std::string& to);
// Renames `from` over `to` in one step, replacing the file `to` names.
void renameOver(const std::string& from, const std::string& to);
// Where a write to the user's file `path` goes: the file a symbolic link
// leads to (through every link; a relative link from the link's folder),
// so that the link stays; `path` itself when it is no link.
std::string linkTarget(const std::string& path);
// True when `path` names a file that is not to be changed: no one may
// write it (no write permission for anyone; the read-only attribute), or
// this user may not (another user's file, a read-only mount, immutable).
bool readOnlyFile(const std::string& path);
// Gives `onto` the permissions of the file `of` where there is one (to
// replace it keeping them; nothing on Windows).
void keepPermissions(const std::string& of, const std::string& onto);
// Creates the folder if it does not exist (not its parents).
void ensureFolder(const std::string& path);

}  // namespace vantoril
