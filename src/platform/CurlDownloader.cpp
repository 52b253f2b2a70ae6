#include "platform/CurlDownloader.h"

#include <curl/curl.h>

#include <algorithm>
#include <new>
#include <string_view>

#include "platform/Cp936.h"
#include "platform/Failure.h"
#include "platform/Text.h"

namespace vantoril {
namespace {

// How far into a page its <meta> charset is looked for.
constexpr std::size_t metaSearchLength = 64 * 1024;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

std::string_view trim(std::string_view text) {
  while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
  return text;
}

bool isCharsetChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
         c == '.' || c == ':';
}

// The charset parameter of a Content-Type value ("text/html; charset=GBK"),
// or "" when it has none.
std::string charsetOfContentType(std::string_view type) {
  std::size_t at = type.find(';');
  while (at != std::string_view::npos) {
    const std::size_t next = type.find(';', at + 1);
    const std::string_view param =
        type.substr(at + 1, next == std::string_view::npos ? std::string_view::npos : next - at - 1);
    const std::size_t eq = param.find('=');
    if (eq != std::string_view::npos && lowerAscii(trim(param.substr(0, eq))) == "charset") {
      std::string_view value = trim(param.substr(eq + 1));
      if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = trim(value.substr(1, value.size() - 2));
      return std::string(value);
    }
    at = next;
  }
  return {};
}

// The charset a page declares in a <meta> tag near its start, in either
// form: <meta charset="utf-8"> or
// <meta http-equiv="Content-Type" content="text/html; charset=gb2312">.
// "" when none is found.
bool startsWithNoCase(std::string_view text, std::size_t at, std::string_view word) {
  if (text.size() - std::min(at, text.size()) < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i)
    if (lowerAscii(text[at + i]) != word[i]) return false;
  return true;
}

std::string charsetOfMeta(std::string_view body) {
  // Only the tags of the head are looked at; the page itself is not copied.
  const std::string_view page = body.substr(0, metaSearchLength);
  for (std::size_t lt = page.find('<'); lt != std::string_view::npos; lt = page.find('<', lt + 1)) {
    if (startsWithNoCase(page, lt + 1, "/head") || startsWithNoCase(page, lt + 1, "body")) break;
    if (!startsWithNoCase(page, lt + 1, "meta")) continue;
    const std::size_t close = page.find('>', lt);
    const std::string tag = lowerAscii(page.substr(lt, close == std::string_view::npos ? page.npos : close - lt));
    for (std::size_t name = tag.find("charset"); name != std::string::npos; name = tag.find("charset", name + 1)) {
      std::size_t i = name + 7;
      while (i < tag.size() && isSpace(tag[i])) ++i;
      if (i >= tag.size() || tag[i] != '=') continue;
      ++i;
      while (i < tag.size() && (isSpace(tag[i]) || tag[i] == '"' || tag[i] == '\'')) ++i;
      const std::size_t first = i;
      while (i < tag.size() && isCharsetChar(tag[i])) ++i;
      if (i > first) return tag.substr(first, i - first);
    }
  }
  return {};
}

bool hasFetchableScheme(std::string_view address) {
  const std::string start = lowerAscii(address.substr(0, 8));
  return start.starts_with("http://") || start.starts_with("https://") || start.starts_with("file://");
}

void initialiseCurlOnce() {
  static const CURLcode result = curl_global_init(CURL_GLOBAL_DEFAULT);
  if (result != CURLE_OK)
    throw Failure(std::string("无法启动下载库：") + curl_easy_strerror(result));
}

struct HandleCleanup {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

}  // namespace

struct CurlDownloader::State {
  Options options;
  std::unique_ptr<CURL, HandleCleanup> handle;
  char errors[CURL_ERROR_SIZE] = {};
  std::string body;
  bool tooLarge = false;

  // Keeps the body, up to the limit; past it the transfer is aborted.
  static std::size_t write(char* data, std::size_t size, std::size_t count, void* user) {
    auto* self = static_cast<State*>(user);
    const std::size_t n = size * count;
    if (n > self->options.maxBytes - std::min(self->body.size(), self->options.maxBytes)) {
      self->tooLarge = true;
      return 0;
    }
    try {
      self->body.append(data, n);
    } catch (const std::bad_alloc&) {
      return 0;
    }
    return n;
  }

  template <typename T>
  void set(CURLoption option, T value) {
    const CURLcode result = curl_easy_setopt(handle.get(), option, value);
    if (result != CURLE_OK) throw Failure(std::string("无法设置下载选项：") + curl_easy_strerror(result));
  }
};

CurlDownloader::CurlDownloader() : CurlDownloader(Options{}) {}

CurlDownloader::CurlDownloader(Options options) : state_(std::make_unique<State>()) {
  initialiseCurlOnce();
  State& s = *state_;
  s.options = options;
  s.handle.reset(curl_easy_init());
  if (!s.handle) throw Failure("无法启动下载库：curl_easy_init 失败");

  // Everything but the address is set once: the handle, with its
  // connection cache, serves every download.
  s.set(CURLOPT_NOSIGNAL, 1L);
  s.set(CURLOPT_ERRORBUFFER, s.errors);
  s.set(CURLOPT_WRITEFUNCTION, &State::write);
  s.set(CURLOPT_WRITEDATA, static_cast<void*>(&s));
  s.set(CURLOPT_FOLLOWLOCATION, 1L);
  s.set(CURLOPT_MAXREDIRS, options.maxRedirects);
  s.set(CURLOPT_CONNECTTIMEOUT_MS, options.connectTimeoutMs);
  s.set(CURLOPT_TIMEOUT_MS, options.totalTimeoutMs);
  s.set(CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(options.maxBytes));
  s.set(CURLOPT_BUFFERSIZE, 256L * 1024);  // a page in a few reads, not dozens
  s.set(CURLOPT_ACCEPT_ENCODING, "");  // whatever compression libcurl can undo
  s.set(CURLOPT_USERAGENT, "Mozilla/5.0 (compatible; Vantoril/1.0)");
  // A server may redirect to another web page but never into the local
  // files, so file:// is only fetched when it is the address itself.
#if CURL_AT_LEAST_VERSION(7, 85, 0)
  s.set(CURLOPT_PROTOCOLS_STR, "http,https,file");
  s.set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
#else
  s.set(CURLOPT_PROTOCOLS, static_cast<long>(CURLPROTO_HTTP | CURLPROTO_HTTPS | CURLPROTO_FILE));
  s.set(CURLOPT_REDIR_PROTOCOLS, static_cast<long>(CURLPROTO_HTTP | CURLPROTO_HTTPS));
#endif
}

CurlDownloader::~CurlDownloader() = default;

std::u16string CurlDownloader::download(const std::u16string& address) {
  const std::string url = toUtf8(address);
  if (!hasFetchableScheme(url))
    throw Failure("网址 “" + url + "” 无法下载：只支持 http、https 和 file 网址");

  State& s = *state_;
  // The body buffer is kept from page to page, unless a huge page grew it.
  if (s.body.capacity() > (4u << 20)) s.body = std::string();
  s.body.clear();
  s.tooLarge = false;
  s.errors[0] = '\0';
  s.set(CURLOPT_URL, url.c_str());

  const CURLcode result = curl_easy_perform(s.handle.get());
  const std::string& bytes = s.body;

  if (s.tooLarge || result == CURLE_FILESIZE_EXCEEDED)
    throw Failure("下载 " + url + " 失败：网页超过 " + std::to_string(s.options.maxBytes) + " 字节的上限");
  if (result != CURLE_OK) {
    const std::string why = s.errors[0] != '\0' ? std::string(s.errors) : std::string(curl_easy_strerror(result));
    if (result == CURLE_OPERATION_TIMEDOUT) throw Failure("下载 " + url + " 超时：" + why);
    throw Failure("下载 " + url + " 失败：" + why);
  }

  long status = 0;
  curl_easy_getinfo(s.handle.get(), CURLINFO_RESPONSE_CODE, &status);
  if (status >= 400) throw Failure("下载 " + url + " 失败：HTTP 状态 " + std::to_string(status));

  // The Content-Type of the last response, after any redirects; file://
  // has none.
  const char* type = nullptr;
  curl_easy_getinfo(s.handle.get(), CURLINFO_CONTENT_TYPE, &type);
  std::string charset = type != nullptr ? charsetOfContentType(type) : std::string();
  if (charset.empty()) charset = charsetOfMeta(bytes);
  if (charset.empty()) charset = "UTF-8";
  return cp936::decodeCharset(bytes, charset);
}

}  // namespace vantoril
