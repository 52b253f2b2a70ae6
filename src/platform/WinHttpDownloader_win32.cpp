#include "platform/WinHttpDownloader.h"

#include <windows.h>
#include <winhttp.h>
#include <zlib.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/Failure.h"
#include "platform/FileSystem.h"
#include "platform/PageText.h"
#include "platform/Text.h"
#include "platform/Win32.h"

namespace vantoril {

namespace {

using Clock = std::chrono::steady_clock;

struct InternetHandle {
  HINTERNET h = nullptr;
  explicit InternetHandle(HINTERNET handle) : h(handle) {}
  ~InternetHandle() {
    if (h) ::WinHttpCloseHandle(h);
  }
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;
};

// The cause of a failed WinHTTP call, in words.
std::string causeOf(DWORD error) {
  switch (error) {
    case ERROR_WINHTTP_TIMEOUT:
    case WSAETIMEDOUT: return "等待服务器超时";  // wine gives the socket's code
    case ERROR_WINHTTP_NAME_NOT_RESOLVED: return "无法解析主机名";
    case ERROR_WINHTTP_CANNOT_CONNECT: return "无法连接到服务器";
    case ERROR_WINHTTP_CONNECTION_ERROR: return "连接被中断";
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE: return "服务器的回答无效";
    case ERROR_WINHTTP_REDIRECT_FAILED: return "重定向失败";
    case ERROR_WINHTTP_HEADER_NOT_FOUND: return "重定向没有目标";  // wine: a redirect without Location
    case ERROR_WINHTTP_SECURE_FAILURE: return "安全连接失败（证书无效）";
    case ERROR_WINHTTP_UNRECOGNIZED_SCHEME: return "不支持的网址类型";
    default: return "WinHTTP 错误 " + std::to_string(error);
  }
}

[[noreturn]] void failDownload(const std::string& url, DWORD error) {
  if (error == ERROR_WINHTTP_TIMEOUT || error == WSAETIMEDOUT) throw Failure("下载 " + url + " 超时：" + causeOf(error));
  throw Failure("下载 " + url + " 失败：" + causeOf(error));
}

[[noreturn]] void failTooLarge(const std::string& url, std::size_t maxBytes) {
  throw Failure("下载 " + url + " 失败：网页超过 " + std::to_string(maxBytes) + " 字节的上限");
}

std::wstring header(HINTERNET request, DWORD which) {
  DWORD size = 0;
  ::WinHttpQueryHeaders(request, which, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &size,
                        WINHTTP_NO_HEADER_INDEX);
  if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return {};
  std::wstring value(size / sizeof(wchar_t), L'\0');
  if (!::WinHttpQueryHeaders(request, which, WINHTTP_HEADER_NAME_BY_INDEX, value.data(), &size,
                             WINHTTP_NO_HEADER_INDEX))
    return {};
  value.resize(size / sizeof(wchar_t));
  return value;
}

// Unpacks a gzip (or zlib) body, never past `maxBytes`.
std::string inflateBody(const std::string& url, const std::string& packed, std::size_t maxBytes) {
  z_stream z{};
  if (inflateInit2(&z, 15 + 32) != Z_OK) throw Failure("下载 " + url + " 失败：无法解压网页");
  struct End {
    z_stream* z;
    ~End() { inflateEnd(z); }
  } end{&z};
  std::string out;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
  z.avail_in = static_cast<uInt>(packed.size());
  char buffer[65536];
  for (;;) {
    z.next_out = reinterpret_cast<Bytef*>(buffer);
    z.avail_out = sizeof buffer;
    const int rc = inflate(&z, Z_NO_FLUSH);
    const std::size_t n = sizeof buffer - z.avail_out;
    if (n > maxBytes - out.size()) failTooLarge(url, maxBytes);
    out.append(buffer, n);
    if (rc == Z_STREAM_END) return out;
    if (rc != Z_OK && !(rc == Z_BUF_ERROR && n > 0))
      throw Failure("下载 " + url + " 失败：压缩的网页已损坏");
  }
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = lowerAscii(c);
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// The path of a file:// address: file:///C:/dir/page.html gives
// C:/dir/page.html, file://server/share/page.html the network path; %xx
// escapes are undone.
std::string pathOfFileUrl(std::string_view url) {
  std::string_view rest = url.substr(7);
  std::string path;
  if (rest.starts_with("localhost/")) rest.remove_prefix(9);
  if (!rest.starts_with("/")) path = "//";  // a server name follows
  else if (rest.size() >= 3 && rest[2] == ':') rest.remove_prefix(1);
  for (std::size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '%' && i + 2 < rest.size() && hexValue(rest[i + 1]) >= 0 && hexValue(rest[i + 2]) >= 0) {
      path += static_cast<char>(hexValue(rest[i + 1]) * 16 + hexValue(rest[i + 2]));
      i += 2;
    } else {
      path += rest[i];
    }
  }
  return path;
}

}  // namespace

struct WinHttpDownloader::State {
  Options options;
  HINTERNET session = nullptr;

  // The pages fetched ahead, by ticket.
  struct Job {
    std::u16string address;
    bool started = false, done = false, abandoned = false, failed = false;
    std::u16string page;
    std::string error;
  };
  std::mutex mutex;
  std::condition_variable changed;
  std::map<Ticket, Job> jobs;
  std::deque<Ticket> queue;
  std::vector<std::thread> workers;
  int idle = 0;
  bool stopping = false;
  Ticket nextTicket = 1;

  std::u16string fetch(const std::u16string& address) const;
  std::string fetchHttp(const std::string& url, std::string& contentType) const;
  void work();
};

WinHttpDownloader::WinHttpDownloader() : WinHttpDownloader(Options{}) {}

WinHttpDownloader::WinHttpDownloader(Options options) : state_(std::make_unique<State>()) {
  state_->options = options;
  state_->session = ::WinHttpOpen(L"Mozilla/5.0 (compatible; Vantoril/1.0)", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                  WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
  if (!state_->session) win32::fail("无法启动下载库 WinHTTP", ::GetLastError());
}

WinHttpDownloader::~WinHttpDownloader() {
  {
    std::lock_guard lock(state_->mutex);
    state_->stopping = true;
    state_->queue.clear();
  }
  state_->changed.notify_all();
  for (auto& worker : state_->workers) worker.join();
  ::WinHttpCloseHandle(state_->session);
}

std::u16string WinHttpDownloader::download(const std::u16string& address) { return state_->fetch(address); }

std::u16string WinHttpDownloader::State::fetch(const std::u16string& address) const {
  const std::string url = toUtf8(address);
  if (!page::hasFetchableScheme(url))
    throw Failure("网址 “" + url + "” 无法下载：只支持 http、https 和 file 网址");
  if (lowerAscii(url.substr(0, 7)) == "file://") {
    std::string bytes;
    try {
      bytes = readWholeFile(pathOfFileUrl(url));
    } catch (const Failure& e) {
      throw Failure("下载 " + url + " 失败：" + e.what());
    }
    if (bytes.size() > options.maxBytes) failTooLarge(url, options.maxBytes);
    return page::decode(bytes, {});
  }
  std::string contentType;
  const std::string bytes = fetchHttp(url, contentType);
  return page::decode(bytes, contentType);
}

std::string WinHttpDownloader::State::fetchHttp(const std::string& url, std::string& contentType) const {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(options.totalTimeoutMs);
  const auto remainingMs = [&] {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::max<long long>(left, 1));
  };
  const std::wstring wideUrl = win32::wide(url);
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof parts;
  parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!::WinHttpCrackUrl(wideUrl.c_str(), 0, 0, &parts))
    throw Failure("下载 " + url + " 失败：网址无效");
  const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
  std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
  path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  if (path.empty()) path = L"/";

  InternetHandle connection(::WinHttpConnect(session, host.c_str(), parts.nPort, 0));
  if (!connection.h) failDownload(url, ::GetLastError());
  InternetHandle request(::WinHttpOpenRequest(connection.h, L"GET", path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                              WINHTTP_DEFAULT_ACCEPT_TYPES,
                                              parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0));
  if (!request.h) failDownload(url, ::GetLastError());
  DWORD redirects = static_cast<DWORD>(options.maxRedirects);
  ::WinHttpSetOption(request.h, WINHTTP_OPTION_MAX_HTTP_AUTOMATIC_REDIRECTS, &redirects, sizeof redirects);
  DWORD policy = WINHTTP_OPTION_REDIRECT_POLICY_ALWAYS;
  ::WinHttpSetOption(request.h, WINHTTP_OPTION_REDIRECT_POLICY, &policy, sizeof policy);
  const int connectMs = static_cast<int>(std::min(options.connectTimeoutMs, options.totalTimeoutMs));
  if (!::WinHttpSetTimeouts(request.h, connectMs, connectMs, remainingMs(), remainingMs()))
    failDownload(url, ::GetLastError());
  DWORD waitMs = static_cast<DWORD>(remainingMs());
  ::WinHttpSetOption(request.h, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &waitMs, sizeof waitMs);
  // WinHTTP's own decompression is not everywhere (wine lacks it): ask for
  // gzip and unpack it here.
  if (!::WinHttpSendRequest(request.h, L"Accept-Encoding: gzip", static_cast<DWORD>(-1L), WINHTTP_NO_REQUEST_DATA,
                            0, 0, 0) ||
      !::WinHttpReceiveResponse(request.h, nullptr))
    failDownload(url, ::GetLastError());

  DWORD status = 0, size = sizeof status;
  ::WinHttpQueryHeaders(request.h, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                        WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
  if (status >= 300 && status < 400) throw Failure("下载 " + url + " 失败：重定向超过 " +
                                                   std::to_string(options.maxRedirects) + " 次或没有目标");
  if (status >= 400) throw Failure("下载 " + url + " 失败：HTTP 状态 " + std::to_string(status));
  contentType = win32::utf8(header(request.h, WINHTTP_QUERY_CONTENT_TYPE));
  const std::string encoding = lowerAscii(win32::utf8(header(request.h, WINHTTP_QUERY_CONTENT_ENCODING)));

  std::string body;
  char buffer[65536];
  for (;;) {
    const int left = remainingMs();
    ::WinHttpSetOption(request.h, WINHTTP_OPTION_RECEIVE_TIMEOUT, const_cast<int*>(&left), sizeof left);
    DWORD n = 0;
    if (!::WinHttpReadData(request.h, buffer, sizeof buffer, &n)) failDownload(url, ::GetLastError());
    if (n == 0) break;
    if (n > options.maxBytes - body.size()) failTooLarge(url, options.maxBytes);
    body.append(buffer, n);
    if (Clock::now() >= deadline) failDownload(url, ERROR_WINHTTP_TIMEOUT);
  }
  if (encoding == "gzip" || encoding == "x-gzip") return inflateBody(url, body, options.maxBytes);
  return body;
}

WinHttpDownloader::Ticket WinHttpDownloader::fetchAhead(const std::u16string& address) {
  State& s = *state_;
  std::lock_guard lock(s.mutex);
  const Ticket ticket = s.nextTicket++;
  s.jobs[ticket].address = address;
  s.queue.push_back(ticket);
  if (static_cast<std::size_t>(s.idle) < s.queue.size() && s.workers.size() < kMaxInFlight)
    s.workers.emplace_back([&s] { s.work(); });
  s.changed.notify_all();
  return ticket;
}

void WinHttpDownloader::State::work() {
  std::unique_lock lock(mutex);
  for (;;) {
    ++idle;
    changed.wait(lock, [&] { return stopping || !queue.empty(); });
    --idle;
    if (stopping) return;
    const Ticket ticket = queue.front();
    queue.pop_front();
    Job& job = jobs[ticket];
    job.started = true;
    const std::u16string address = job.address;
    lock.unlock();
    std::u16string page;
    std::string error;
    bool failed = false;
    try {
      page = fetch(address);
    } catch (const std::exception& e) {
      error = e.what();
      failed = true;
    }
    lock.lock();
    if (job.abandoned) {
      jobs.erase(ticket);
    } else {
      job.page = std::move(page);
      job.error = std::move(error);
      job.failed = failed;
      job.done = true;
    }
    changed.notify_all();
  }
}

std::u16string WinHttpDownloader::collect(Ticket ticket, const std::function<void()>& whileWaiting) {
  State& s = *state_;
  std::unique_lock lock(s.mutex);
  auto it = s.jobs.find(ticket);
  if (it == s.jobs.end() || it->second.abandoned) throw std::logic_error("collect: unknown ticket");
  if (!it->second.started) {
    // Wanted now: the next worker takes it before the pages wanted later.
    std::erase(s.queue, ticket);
    s.queue.push_front(ticket);
  }
  while (!it->second.done) {
    if (s.changed.wait_for(lock, std::chrono::milliseconds(50), [&] { return it->second.done; })) break;
    if (whileWaiting) {
      lock.unlock();
      whileWaiting();
      lock.lock();
    }
  }
  State::Job job = std::move(it->second);
  s.jobs.erase(it);
  if (job.failed) throw Failure(job.error);
  return std::move(job.page);
}

void WinHttpDownloader::abandon(Ticket ticket) {
  State& s = *state_;
  std::lock_guard lock(s.mutex);
  const auto it = s.jobs.find(ticket);
  if (it == s.jobs.end()) return;
  if (it->second.started && !it->second.done) {
    it->second.abandoned = true;  // the worker drops it when it ends
  } else {
    std::erase(s.queue, ticket);
    s.jobs.erase(it);
  }
}

}  // namespace vantoril
