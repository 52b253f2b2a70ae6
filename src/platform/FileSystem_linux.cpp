#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <optional>

#include "platform/Failure.h"
#include "platform/FileSystem.h"
#include "platform/Posix.h"

namespace vantoril {

namespace {

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  // Closes now and reports a failed close (data that did not reach the file).
  int close() {
    const int r = ::close(fd_);
    fd_ = -1;
    return r;
  }

 private:
  int fd_;
};

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// The bytes of the open file from byte `from` on.
std::string readAt(int fd, unsigned long long from, const std::string& path) {
  std::string bytes;
  char buffer[65536];
  for (auto at = static_cast<off_t>(from);;) {
    const ssize_t n = ::pread(fd, buffer, sizeof buffer, at);
    if (n < 0) {
      if (errno == EINTR) continue;
      failWithErrno("无法读取文件 " + path, errno);
    }
    if (n == 0) return bytes;
    bytes.append(buffer, static_cast<std::size_t>(n));
    at += n;
  }
}

void writeNew(const std::string& path, std::string_view bytes, int flags) {
  Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | flags, 0644));
  if (fd.get() < 0) {
    const int error = errno;
    struct stat st {};
    // Say what is in the way, not only "exists".
    if ((error == EEXIST || error == EISDIR) && ::lstat(path.c_str(), &st) == 0) {
      if (S_ISDIR(st.st_mode)) throw Failure("无法创建文件 " + path + "：同名的文件夹已经存在");
      if (!S_ISREG(st.st_mode)) throw Failure("无法创建文件 " + path + "：同名的链接或特殊文件已经存在");
    }
    failWithErrno("无法创建文件 " + path, error);
  }
  if (!writeAll(fd.get(), bytes) || fd.close() != 0) {
    const int error = errno;
    // A file this call created is not left behind half-written.
    if (flags & O_EXCL) ::unlink(path.c_str());
    failWithErrno("无法写入文件 " + path, error);
  }
}

}  // namespace

char pathSeparator() { return '/'; }

std::string programFile() {
  std::string buf(4096, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
  if (n <= 0) failWithErrno("无法确定程序文件夹", errno);
  if (static_cast<std::size_t>(n) == buf.size()) throw Failure("无法确定程序文件夹：路径太长");
  buf.resize(static_cast<std::size_t>(n));
  return buf;
}

std::string programFolder() {
  const std::string file = programFile();
  const auto slash = file.rfind('/');
  return slash == 0 ? std::string("/") : file.substr(0, slash);
}

// access() rather than a trial file: it answers for the permissions, the
// ACLs and a read-only mount alike, and leaves nothing in the folder. The
// program is never set-user-ID, so the real user it asks for is the one that
// writes. A folder under /usr counts as read-only even for root: it belongs
// to the package manager (and may be mounted read-only), so root's places
// and data go to root's own folder too.
bool folderWritable(const std::string& folder) {
  if (folder == "/usr" || folder.rfind("/usr/", 0) == 0) return false;
  return ::access(folder.c_str(), W_OK) == 0;
}

std::string userDataFolder() {
  const auto dataHome = xdgFolder("XDG_DATA_HOME", "/.local/share");
  if (!dataHome) throw Failure("无法确定用户的数据文件夹：没有 HOME 环境变量");
  std::string base = *dataHome;
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  const std::string folder = base + "/vantoril";
  makeFolders(folder);
  return folder;
}

std::optional<std::string> documentsFolder() {
  const auto home = homeFolder();
  if (!home) return std::nullopt;
  const auto isFolder = [](const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  };
  // XDG_DOCUMENTS_DIR="$HOME/文档", as xdg-user-dirs writes it.
  const auto config = xdgFolder("XDG_CONFIG_HOME", "/.config");
  std::string dirs;
  try {
    dirs = config ? readFileIfExists(*config + "/user-dirs.dirs").value_or("") : "";
  } catch (const std::exception&) {
  }
  constexpr std::string_view key = "XDG_DOCUMENTS_DIR=\"";
  for (std::size_t at = 0; at < dirs.size();) {
    const std::size_t end = std::min(dirs.find('\n', at), dirs.size());
    std::string_view line(dirs.data() + at, end - at);
    at = end + 1;
    if (!line.starts_with(key) || !line.ends_with('"')) continue;
    line = line.substr(key.size(), line.size() - key.size() - 1);
    std::string folder = line.starts_with("$HOME") ? *home + std::string(line.substr(5)) : std::string(line);
    if (folder.starts_with('/') && isFolder(folder)) return folder;
  }
  return isFolder(*home) ? home : std::nullopt;
}

std::optional<std::string> homeFolder() {
  if (const char* home = std::getenv("HOME"); home && home[0] == '/') return home;
  if (const passwd* user = ::getpwuid(::getuid()); user && user->pw_dir && user->pw_dir[0] == '/') return user->pw_dir;
  return std::nullopt;
}

std::optional<std::string> xdgFolder(const char* variable, std::string_view underHome) {
  if (const char* xdg = std::getenv(variable); xdg && xdg[0] == '/') return xdg;
  if (const auto home = homeFolder()) return *home + std::string(underHome);
  return std::nullopt;
}

void makeFolders(const std::string& path) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
    ensureFolder(path.substr(0, slash));
  ensureFolder(path);
}

bool fileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::optional<std::chrono::system_clock::time_point> folderChangedAt(const std::string& folder) {
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
  return std::chrono::system_clock::time_point(std::chrono::duration_cast<std::chrono::system_clock::duration>(
      std::chrono::seconds(st.st_mtim.tv_sec) + std::chrono::nanoseconds(st.st_mtim.tv_nsec)));
}

std::vector<FolderEntry> listFolder(const std::string& folder) {
  std::vector<FolderEntry> entries;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
  if (!dir) {
    if (errno == ENOENT || errno == ENOTDIR) return entries;
    failWithErrno("无法列出文件夹 " + folder, errno);
  }
  std::string base = folder;
  if (base.empty() || base.back() != '/') base += '/';
  for (;;) {
    errno = 0;
    const dirent* e = ::readdir(dir.get());
    if (!e) {
      if (errno != 0) failWithErrno("无法列出文件夹 " + folder, errno);
      break;
    }
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    unsigned char type = e->d_type;
    if (type == DT_UNKNOWN || type == DT_LNK) {
      struct stat st {};
      const std::string full = base + name;
      if (::lstat(full.c_str(), &st) != 0) failWithErrno("无法读取 " + full + " 的属性", errno);
      if (S_ISLNK(st.st_mode)) {
        // A link counts as what it points to, except that a linked folder
        // is not a folder of the catalogue.
        type = ::stat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
      } else {
        type = S_ISREG(st.st_mode) ? DT_REG : S_ISDIR(st.st_mode) ? DT_DIR : DT_UNKNOWN;
      }
    }
    if (type == DT_REG) entries.push_back({name, false});
    else if (type == DT_DIR) entries.push_back({name, true});
  }
  sortLikeNtfs(entries);
  return entries;
}

namespace {

// Reads the file; nothing, when `ifExists`, where fileExists finds no file.
std::optional<std::string> readFile(const std::string& path, bool ifExists) {
  // Non-blocking, so that a FIFO in the file's place cannot hang the window.
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) {
    const int error = errno;
    if (ifExists && (error == ENOENT || error == ENOTDIR || !fileExists(path))) return std::nullopt;
    failWithErrno("无法打开文件 " + path, error);
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) failWithErrno("无法读取文件 " + path, errno);
  if (!S_ISREG(st.st_mode)) {
    if (ifExists) return std::nullopt;
    throw Failure("无法读取：" + path + " 不是普通文件");
  }
  // Read straight into the text, asking for a byte more than the file had:
  // a shorter read of a file of that size has reached its end.
  std::string bytes;
  std::size_t size = 0;
  for (std::size_t want = static_cast<std::size_t>(st.st_size) + 1;; want = std::max(want * 2, std::size_t{65536})) {
    bytes.resize(size + want);
    const ssize_t n = ::read(fd.get(), bytes.data() + size, want);
    if (n < 0) {
      if (errno == EINTR) continue;
      failWithErrno("无法读取文件 " + path, errno);
    }
    size += static_cast<std::size_t>(n);
    if (n == 0 || (static_cast<std::size_t>(n) < want && size == static_cast<std::size_t>(st.st_size))) break;
  }
  bytes.resize(size);
  return bytes;
}

}  // namespace

std::string readWholeFile(const std::string& path) { return *readFile(path, false); }

std::optional<std::string> readFileIfExists(const std::string& path) { return readFile(path, true); }

void writeWholeFile(const std::string& path, std::string_view bytes) { writeNew(path, bytes, O_TRUNC); }

namespace {

std::string folderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

}  // namespace

// One temporary name per file, locked while written: a writer that finds
// the name taken waits for the other, then writes into a file of its own
// (the name the other held has been renamed away, or removed).
void replaceFile(const std::string& path, std::string_view bytes) {
  const std::string temporary = temporaryPath(path);
  for (;;) {
    Fd fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644));
    if (fd.get() < 0) failWithErrno("无法写入文件 " + path + "（临时文件 " + temporary + "）", errno);
    while (::flock(fd.get(), LOCK_EX) != 0)
      if (errno != EINTR) failWithErrno("无法写入文件 " + path, errno);
    struct stat held {}, named {};
    if (::fstat(fd.get(), &held) != 0) failWithErrno("无法写入文件 " + path, errno);
    if (::stat(temporary.c_str(), &named) != 0 || named.st_ino != held.st_ino || named.st_dev != held.st_dev)
      continue;
    if (!S_ISREG(held.st_mode)) throw Failure("无法写入文件 " + path + "：临时文件 " + temporary + " 不是普通文件");
    if (::ftruncate(fd.get(), 0) != 0 || ::fchmod(fd.get(), 0644) != 0 || !writeAll(fd.get(), bytes) ||
        ::fdatasync(fd.get()) != 0 || ::rename(temporary.c_str(), path.c_str()) != 0) {
      const int error = errno;
      ::unlink(temporary.c_str());
      failWithErrno("无法写入文件 " + path, error);
    }
    if (fd.close() != 0) failWithErrno("无法写入文件 " + path, errno);
    syncFolder(folderOf(path));
    return;
  }
}

void createNewFile(const std::string& path, std::string_view bytes) { writeNew(path, bytes, O_EXCL); }

namespace {

// Appends `bytes` to the file open on `fd` for appending, `size` bytes
// long, on disk before the call returns when `durable`, and closes it; on
// any failure the file is cut back to `size`.
void appendAndClose(Fd& fd, off_t size, std::string_view bytes, bool durable, const std::string& path) {
  if (!writeAll(fd.get(), bytes) || (durable && ::fdatasync(fd.get()) != 0)) {
    const int error = errno;
    [[maybe_unused]] const int cut = ::ftruncate(fd.get(), size);
    failWithErrno("无法写入文件 " + path, error);
  }
  if (fd.close() != 0) {
    const int error = errno;
    [[maybe_unused]] const int cut = ::truncate(path.c_str(), size);
    failWithErrno("无法写入文件 " + path, error);
  }
}

// Appends; false, when `ifExists`, where fileExists finds no file.
bool append(const std::string& path, std::string_view bytes, bool ifExists) {
  Fd fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) {
    const int error = errno;
    if (ifExists && (error == ENOENT || error == ENOTDIR || !fileExists(path))) return false;
    failWithErrno("无法打开文件 " + path + " 以追加数据", error);
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) failWithErrno("无法读取文件 " + path, errno);
  if (!S_ISREG(st.st_mode)) {
    if (ifExists) return false;
    throw Failure("无法追加数据：" + path + " 不是普通文件");
  }
  appendAndClose(fd, st.st_size, bytes, false, path);
  return true;
}

}  // namespace

void appendToFile(const std::string& path, std::string_view bytes) { append(path, bytes, false); }

bool appendToExistingFile(const std::string& path, std::string_view bytes) { return append(path, bytes, true); }

void removeFile(const std::string& path) {
  if (::unlink(path.c_str()) != 0) failWithErrno("无法删除文件 " + path, errno);
}

bool removeFileIfExists(const std::string& path) {
  if (::unlink(path.c_str()) == 0) return true;
  if (errno == ENOENT) return false;
  failWithErrno("无法删除文件 " + path, errno);
}

void syncFile(const std::string& path) {
  Fd fd(::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0 || ::fdatasync(fd.get()) != 0) failWithErrno("无法把文件 " + path + " 写到磁盘", errno);
}

void syncFolder(const std::string& path) {
  Fd fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() < 0 || ::fsync(fd.get()) != 0) failWithErrno("无法把文件夹 " + path + " 写到磁盘", errno);
}

std::string readFileFrom(const std::string& path, unsigned long long from) {
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) failWithErrno("无法打开文件 " + path, errno);
  return readAt(fd.get(), from, path);
}

unsigned long long fileSize(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) failWithErrno("无法读取文件 " + path + " 的大小", errno);
  return static_cast<unsigned long long>(st.st_size);
}

void truncateFile(const std::string& path, unsigned long long size) {
  if (::truncate(path.c_str(), static_cast<off_t>(size)) != 0) failWithErrno("无法截短文件 " + path, errno);
}

std::optional<OpenFile> OpenFile::forAppend(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  OpenFile file(path, fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  file.size_ = static_cast<unsigned long long>(st.st_size);
  return file;
}

OpenFile::OpenFile(OpenFile&& other) noexcept
    : path_(std::move(other.path_)), handle_(other.handle_), size_(other.size_) {
  other.handle_ = -1;
}

OpenFile::~OpenFile() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

std::string OpenFile::readFrom(unsigned long long from) const { return readAt(static_cast<int>(handle_), from, path_); }

void OpenFile::truncate(unsigned long long size) {
  if (::ftruncate(static_cast<int>(handle_), static_cast<off_t>(size)) != 0)
    failWithErrno("无法截短文件 " + path_, errno);
  size_ = size;
}

void OpenFile::appendAndClose(std::string_view bytes, bool durable) {
  Fd fd(static_cast<int>(handle_));
  handle_ = -1;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) failWithErrno("无法读取文件 " + path_, errno);
  vantoril::appendAndClose(fd, st.st_size, bytes, durable, path_);
}

void renameFile(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return;
  if (errno == EEXIST) throw Failure("无法改名：文件 " + to + " 已经存在");
  if (errno != EINVAL && errno != ENOSYS) failWithErrno("无法把文件 " + from + " 改名为 " + to, errno);
  // A file system without the no-replace rename: test, then rename.
  struct stat st {};
  if (::lstat(to.c_str(), &st) == 0) throw Failure("无法改名：文件 " + to + " 已经存在");
  if (::rename(from.c_str(), to.c_str()) != 0) failWithErrno("无法把文件 " + from + " 改名为 " + to, errno);
}

void renameOver(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) failWithErrno("无法把文件 " + from + " 改名为 " + to, errno);
}

std::string linkTarget(const std::string& path) {
  std::string file = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(file.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return file;
    std::string target(4096, '\0');
    const ssize_t n = ::readlink(file.c_str(), target.data(), target.size());
    if (n < 0) failWithErrno("无法读取链接 " + file, errno);
    target.resize(static_cast<std::size_t>(n));
    file = target.starts_with('/') ? target : folderOf(file) + "/" + target;
  }
  throw Failure("无法写入文件 " + path + "：链接层数太多（可能是循环链接）");
}

bool readOnlyFile(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  return (st.st_mode & 0222) == 0 || ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0;
}

void keepPermissions(const std::string& of, const std::string& onto) {
  struct stat st {};
  if (::stat(of.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
  if (::chmod(onto.c_str(), st.st_mode & 0777) != 0) failWithErrno("无法设置文件 " + onto + " 的权限", errno);
}

void ensureFolder(const std::string& path) {
  struct stat st {};
  // Mostly there already: one look then.
  if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return;
  if (::mkdir(path.c_str(), 0755) == 0) return;
  const int error = errno;
  if (error == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return;
  if (error == EEXIST) throw Failure("无法创建文件夹 " + path + "：同名的文件已经存在");
  failWithErrno("无法创建文件夹 " + path, error);
}

}  // namespace vantoril
