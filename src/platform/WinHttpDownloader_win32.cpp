#include "platform/WinHttpDownloader.h"

#include <windows.h>
#include <shlwapi.h>
#include <winhttp.h>
#include <zlib.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/Failure.h"
#include "platform/FileSystem.h"
#include "platform/PageRequest.h"
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

// A refused certificate, as the error of the failed call, or as the flag a
// WINHTTP_CALLBACK_STATUS_SECURE_FAILURE gave before the call failed with
// ERROR_WINHTTP_SECURE_FAILURE; the first that fits names the cause.
struct CertificateRefusal {
  DWORD error, flag;
  const char* cause;
};
constexpr CertificateRefusal certificateRefusals[] = {
    {ERROR_WINHTTP_SECURE_INVALID_CA, WINHTTP_CALLBACK_STATUS_FLAG_INVALID_CA,
     "证书不是受信任的机构颁发的（自签名或颁发机构未知）"},
    {ERROR_WINHTTP_SECURE_CERT_DATE_INVALID, WINHTTP_CALLBACK_STATUS_FLAG_CERT_DATE_INVALID, "证书已过期或尚未生效"},
    {ERROR_WINHTTP_SECURE_CERT_CN_INVALID, WINHTTP_CALLBACK_STATUS_FLAG_CERT_CN_INVALID, "证书上的名称与网站不符"},
    {ERROR_WINHTTP_SECURE_CERT_REVOKED, WINHTTP_CALLBACK_STATUS_FLAG_CERT_REVOKED, "证书已被吊销"},
    {ERROR_WINHTTP_SECURE_CERT_REV_FAILED, WINHTTP_CALLBACK_STATUS_FLAG_CERT_REV_FAILED, "无法检查证书是否已被吊销"},
    {ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE, WINHTTP_CALLBACK_STATUS_FLAG_CERT_WRONG_USAGE, "证书不能用于网站"},
    {ERROR_WINHTTP_SECURE_INVALID_CERT, WINHTTP_CALLBACK_STATUS_FLAG_INVALID_CERT, "证书无效"},
};

// Collects, into the DWORD its request's context points at, the flags of
// every certificate refusal of that request.
void CALLBACK onStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD length) {
  if (status == WINHTTP_CALLBACK_STATUS_SECURE_FAILURE && context != 0 && info != nullptr && length >= sizeof(DWORD))
    *reinterpret_cast<DWORD*>(context) |= *static_cast<const DWORD*>(info);
}

// The milliseconds left until `deadline`, at least 1.
int msUntil(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return static_cast<int>(std::max<long long>(left, 1));
}

// The address a redirect's Location leads to from `base` (a Location may be
// relative); `location` as it is when it cannot be resolved.
std::wstring resolved(const std::wstring& base, const std::wstring& location) {
  std::wstring out(2048, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    DWORD size = static_cast<DWORD>(out.size());
    const HRESULT result = ::UrlCombineW(base.c_str(), location.c_str(), out.data(), &size, 0);
    if (result == S_OK) {
      out.resize(size);
      return out;
    }
    if (result != E_POINTER) break;
    out.assign(size + 1, L'\0');  // `size` is the length needed
  }
  return location;
}

bool timeOutError(DWORD error) {
  return error == ERROR_WINHTTP_TIMEOUT || error == WSAETIMEDOUT;  // wine gives the socket's code
}

[[noreturn]] void failDownload(const std::string& url, DWORD error, DWORD secureFlags = 0) {
  // Thrown as its own kind, which the run's page fetching counts.
  if (timeOutError(error)) throw page::timedOut(url, "等待服务器超时");
  throw WinHttpDownloader::failure(url, error, secureFlags);
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

// Unpacks a packed body, never past `maxBytes`: gzip (or zlib), or deflate,
// which is meant to come in zlib's wrapper but some servers send bare.
std::string inflateBody(const std::string& url, const std::string& packed, std::string_view encoding,
                        std::size_t maxBytes) {
  int windowBits = 15 + 32;  // gzip or zlib, by the header
  if (encoding == "deflate") {
    const auto b0 = static_cast<unsigned char>(packed.size() > 0 ? packed[0] : 0);
    const auto b1 = static_cast<unsigned char>(packed.size() > 1 ? packed[1] : 0);
    const bool wrapped = (b0 & 0x0f) == Z_DEFLATED && (b0 * 256 + b1) % 31 == 0;
    windowBits = wrapped ? 15 : -15;
  }
  z_stream z{};
  if (inflateInit2(&z, windowBits) != Z_OK) throw page::failed(url, "无法解压网页");
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
    if (n > maxBytes - out.size()) throw page::tooLarge(url, maxBytes);
    out.append(buffer, n);
    if (rc == Z_STREAM_END) return out;
    if (rc != Z_OK && !(rc == Z_BUF_ERROR && n > 0))
      throw page::failed(url, "压缩的网页已损坏");
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

page::DownloadFailure WinHttpDownloader::failure(const std::string& url, unsigned long error, unsigned long secureFlags) {
  for (const CertificateRefusal& refusal : certificateRefusals)
    if (error == refusal.error || (error == ERROR_WINHTTP_SECURE_FAILURE && (secureFlags & refusal.flag)))
      return page::certificateRefused(url, refusal.cause);
  if (timeOutError(error)) return page::timedOut(url, "等待服务器超时");
  switch (error) {
    case ERROR_WINHTTP_NAME_NOT_RESOLVED: return page::hostUnresolved(url);
    case ERROR_WINHTTP_CANNOT_CONNECT: return page::connectionRefused(url, "无法连接到服务器");
    case ERROR_WINHTTP_CONNECTION_ERROR: return page::failed(url, "连接被中断");
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE: return page::failed(url, "服务器的回答无效");
    case ERROR_WINHTTP_REDIRECT_FAILED: return page::failed(url, "重定向失败");
    case ERROR_WINHTTP_UNRECOGNIZED_SCHEME: return page::failed(url, "不支持的网址类型");
    case ERROR_WINHTTP_SECURE_FAILURE:
      if (secureFlags & WINHTTP_CALLBACK_STATUS_FLAG_SECURITY_CHANNEL_ERROR)
        return page::secureConnectionFailed(url, "安全通道出错");
      return page::certificateRefused(url, "证书无效");
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR: return page::secureConnectionFailed(url, "安全通道出错");
    case ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED: return page::secureConnectionFailed(url, "网站要求客户端证书");
    default: return page::failed(url, "WinHTTP 错误 " + std::to_string(error));
  }
}

// Shared by the downloader and its workers: a worker still inside a
// WinHTTP call when the downloader ends keeps it until the call returns.
struct WinHttpDownloader::State {
  ~State() {
    if (session) ::WinHttpCloseHandle(session);
  }

  Options options;
  // Opened at the first http or https address rather than with the
  // downloader, so that neither the window's start-up nor a run of file://
  // addresses loads WinHTTP.
  mutable std::mutex sessionMutex;
  mutable HINTERNET session = nullptr;
  HINTERNET openSession(const std::string& url) const;

  // The pages fetched ahead, by ticket.
  struct Job {
    std::u16string address;
    bool started = false, done = false, abandoned = false;
    page::Fetched page;
    std::exception_ptr error;  // why the page failed (a time-out is told apart)
  };
  std::mutex mutex;
  std::condition_variable changed;
  std::map<Ticket, Job> jobs;
  std::deque<Ticket> queue;
  std::vector<std::thread> workers;
  int running = 0;  // workers not yet out of work()
  int idle = 0;
  bool stopping = false;
  Ticket nextTicket = 1;

  // The page as page::receive hands it over: a UTF-8 page stays bytes.
  page::Fetched fetch(const std::u16string& address) const;
  // A request and the connection it went on.
  struct Exchange {
    InternetHandle connection{nullptr}, request{nullptr};
  };
  std::unique_ptr<Exchange> open(const std::string& url, Clock::time_point deadline) const;
  std::string fetchHttp(const std::string& url, std::string& contentType) const;
  void work();
};

WinHttpDownloader::WinHttpDownloader() : WinHttpDownloader(Options{}) {}

WinHttpDownloader::WinHttpDownloader(Options options) : state_(std::make_shared<State>()) {
  state_->options = options;
}

// The session, opened once; a failure to open it fails this download, and
// the next tries again.
HINTERNET WinHttpDownloader::State::openSession(const std::string& url) const {
  const std::lock_guard lock(sessionMutex);
  if (session) return session;
  HINTERNET opened = ::WinHttpOpen(win32::wide(page::userAgent).c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                   WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
  if (!opened) {
    try {
      win32::fail("无法启动下载库 WinHTTP", ::GetLastError());
    } catch (const Failure& e) {
      throw page::failed(url, e.what());
    }
  }
  // TLS 1.2 and 1.3, or 1.2 alone where the system knows no 1.3; where it
  // refuses even that, its own choice stands.
  const DWORD choices[] = {WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3,
                           WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2};
  for (DWORD protocols : choices)
    if (::WinHttpSetOption(opened, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols)) break;
  // Why a certificate was refused comes only through this callback.
  ::WinHttpSetStatusCallback(opened, onStatus, WINHTTP_CALLBACK_FLAG_SECURE_FAILURE, 0);
  session = opened;
  return session;
}

WinHttpDownloader::~WinHttpDownloader() {
  std::unique_lock lock(state_->mutex);
  state_->stopping = true;
  state_->queue.clear();
  state_->changed.notify_all();
  // Idle workers end at once and are joined: none is still ending (freeing
  // the session, leaving its thread) when the process ends, which cuts such
  // a thread off wherever it is, holding a lock that the end of the process
  // then waits for. One waiting on a page the run no longer wants (the
  // window closed in the middle of a run) would hold the program up to the
  // page's time limit: past a moment, they are left to end by themselves.
  const bool ended = state_->changed.wait_for(lock, std::chrono::seconds(2), [&] { return state_->running == 0; });
  lock.unlock();
  for (auto& worker : state_->workers) ended ? worker.join() : worker.detach();
}

std::u16string WinHttpDownloader::download(const std::u16string& address) {
  return page::wholeText(state_->fetch(address));
}

page::Fetched WinHttpDownloader::State::fetch(const std::u16string& address) const {
  const std::string url = toUtf8(address);
  if (!page::hasFetchableScheme(url))
    throw page::unfetchable(url);
  if (lowerAscii(url.substr(0, 7)) == "file://") {
    std::string bytes;
    try {
      bytes = readWholeFile(pathOfFileUrl(url));
    } catch (const Failure& e) {
      throw page::failed(url, e.what());
    }
    if (bytes.size() > options.maxBytes) throw page::tooLarge(url, options.maxBytes);
    return page::receive(std::move(bytes), {});
  }
  std::string contentType;
  std::string bytes = fetchHttp(url, contentType);
  return page::receive(std::move(bytes), contentType);
}

// The response to `url` after its redirects, on its connection. Redirects
// are followed here rather than by WinHTTP, so that they keep the rules of
// page:: as libcurl does: at most options.maxRedirects, to http and https
// only, every request with the same headers and the Referer of `url`.
std::unique_ptr<WinHttpDownloader::State::Exchange> WinHttpDownloader::State::open(const std::string& url,
                                                                                   Clock::time_point deadline) const {
  const std::wstring accept = win32::wide(page::accept);
  const wchar_t* acceptTypes[] = {accept.c_str(), nullptr};
  // WinHTTP's own decompression is not everywhere (wine lacks it): the
  // packed bodies asked for are unpacked here. The Referer goes with these
  // headers rather than to WinHttpOpenRequest, which (under wine) drops one
  // that names another site than the request's, as after a redirect.
  std::string lines = std::string("Accept-Encoding: ") + page::acceptEncoding;
  if (const std::string site = page::refererOf(url); !site.empty()) lines += "\r\nReferer: " + site;
  const std::wstring headers = win32::wide(lines);
  std::wstring target = win32::wide(url);
  for (long redirects = 0;; ++redirects) {
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength =
        static_cast<DWORD>(-1);
    const bool cracked = ::WinHttpCrackUrl(target.c_str(), 0, 0, &parts);
    const bool web = cracked && (parts.nScheme == INTERNET_SCHEME_HTTP || parts.nScheme == INTERNET_SCHEME_HTTPS);
    if (redirects > 0 && !web) throw page::redirectRefused(url, win32::utf8(target));
    if (!cracked) throw page::failed(url, "网址无效");
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
    path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    path = path.substr(0, path.find(L'#'));  // the fragment stays with the browser
    if (path.empty()) path = L"/";

    auto exchange = std::make_unique<Exchange>();
    exchange->connection.h = ::WinHttpConnect(openSession(url), host.c_str(), parts.nPort, 0);
    if (!exchange->connection.h) failDownload(url, ::GetLastError());
    exchange->request.h = ::WinHttpOpenRequest(exchange->connection.h, L"GET", path.c_str(), nullptr,
                                               WINHTTP_NO_REFERER, acceptTypes,
                                               parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0);
    const HINTERNET request = exchange->request.h;
    if (!request) failDownload(url, ::GetLastError());
    DWORD secureFlags = 0;
    DWORD_PTR context = reinterpret_cast<DWORD_PTR>(&secureFlags);
    ::WinHttpSetOption(request, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof context);
    DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
    ::WinHttpSetOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects, sizeof noRedirects);
    const int connectMs = static_cast<int>(std::min(options.connectTimeoutMs, options.totalTimeoutMs));
    if (!::WinHttpSetTimeouts(request, connectMs, connectMs, msUntil(deadline), msUntil(deadline)))
      failDownload(url, ::GetLastError());
    DWORD waitMs = static_cast<DWORD>(msUntil(deadline));
    ::WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &waitMs, sizeof waitMs);
    if (!::WinHttpSendRequest(request, headers.c_str(), static_cast<DWORD>(-1L), WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !::WinHttpReceiveResponse(request, nullptr))
      failDownload(url, ::GetLastError(), secureFlags);

    DWORD status = 0, size = sizeof status;
    ::WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                          WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
    if (status >= 400) throw page::httpStatus(url, status);
    if (status < 300) return exchange;
    const std::wstring location = header(request, WINHTTP_QUERY_LOCATION);
    if (location.empty() || redirects >= options.maxRedirects)
      throw page::tooManyRedirects(url, options.maxRedirects);
    target = resolved(target, location);
  }
}

std::string WinHttpDownloader::State::fetchHttp(const std::string& url, std::string& contentType) const {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(options.totalTimeoutMs);
  const std::unique_ptr<Exchange> exchange = open(url, deadline);
  const InternetHandle& request = exchange->request;
  contentType = win32::utf8(header(request.h, WINHTTP_QUERY_CONTENT_TYPE));
  const std::string encoding = lowerAscii(win32::utf8(header(request.h, WINHTTP_QUERY_CONTENT_ENCODING)));

  std::string body;
  char buffer[65536];
  for (;;) {
    const int left = msUntil(deadline);
    ::WinHttpSetOption(request.h, WINHTTP_OPTION_RECEIVE_TIMEOUT, const_cast<int*>(&left), sizeof left);
    DWORD n = 0;
    if (!::WinHttpReadData(request.h, buffer, sizeof buffer, &n)) failDownload(url, ::GetLastError());
    if (n == 0) break;
    if (n > options.maxBytes - body.size()) throw page::tooLarge(url, options.maxBytes);
    body.append(buffer, n);
    if (Clock::now() >= deadline) failDownload(url, ERROR_WINHTTP_TIMEOUT);
  }
  if (encoding == "gzip" || encoding == "x-gzip" || encoding == "deflate")
    return inflateBody(url, body, encoding, options.maxBytes);
  return body;
}

WinHttpDownloader::Ticket WinHttpDownloader::fetchAhead(const std::u16string& address) {
  State& s = *state_;
  std::lock_guard lock(s.mutex);
  const Ticket ticket = s.nextTicket++;
  s.jobs[ticket].address = address;
  s.queue.push_back(ticket);
  if (static_cast<std::size_t>(s.idle) < s.queue.size() && s.workers.size() < kMaxInFlight) {
    s.workers.emplace_back([state = state_] { state->work(); });
    ++s.running;
  }
  s.changed.notify_all();
  return ticket;
}

void WinHttpDownloader::State::work() {
  std::unique_lock lock(mutex);
  for (;;) {
    ++idle;
    changed.wait(lock, [&] { return stopping || !queue.empty(); });
    --idle;
    if (stopping) {
      --running;
      changed.notify_all();
      return;
    }
    const Ticket ticket = queue.front();
    queue.pop_front();
    Job& job = jobs[ticket];
    job.started = true;
    const std::u16string address = job.address;
    lock.unlock();
    page::Fetched page;
    std::exception_ptr error;
    try {
      page = fetch(address);
    } catch (const std::exception&) {
      error = std::current_exception();
    }
    lock.lock();
    if (job.abandoned) {
      jobs.erase(ticket);
    } else {
      job.page = std::move(page);
      job.error = std::move(error);
      job.done = true;
    }
    changed.notify_all();
  }
}

std::u16string WinHttpDownloader::collect(Ticket ticket, const std::function<void()>& whileWaiting) {
  return page::wholeText(collectPage(ticket, whileWaiting));
}

page::Fetched WinHttpDownloader::collectPage(Ticket ticket, const std::function<void()>& whileWaiting) {
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
  if (job.error) std::rethrow_exception(job.error);
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
