#include "platform/CurlDownloader.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <map>
#include <mutex>
#include <new>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "platform/Failure.h"
#include "platform/PageRequest.h"
#include "platform/PageText.h"
#include "platform/Text.h"

namespace vantoril {
namespace {

void initialiseCurlOnce() {
  static const CURLcode result = curl_global_init(CURL_GLOBAL_DEFAULT);
  if (result != CURLE_OK)
    throw Failure(std::string("无法启动下载库：") + curl_easy_strerror(result));
}

struct HandleCleanup {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

struct ListCleanup {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// The request headers libcurl does not make itself from an option.
std::unique_ptr<curl_slist, ListCleanup> requestHeaders() {
  std::unique_ptr<curl_slist, ListCleanup> list;
  const std::string lines[] = {std::string("Accept: ") + page::accept, std::string("Connection: ") + page::connection};
  for (const std::string& line : lines) {
    curl_slist* longer = curl_slist_append(list.get(), line.c_str());
    if (longer == nullptr) throw Failure("无法设置下载选项：内存不足");
    list.release();
    list.reset(longer);
  }
  return list;
}

// One easy handle, with the buffer its pages arrive in. Every option but the
// address and its Referer is set once; the handle serves page after page.
class Easy {
 public:
  explicit Easy(const CurlDownloader::Options& options)
      : handle_(curl_easy_init()),
        headers_(requestHeaders()),
        maxBytes_(options.maxBytes),
        maxRedirects_(options.maxRedirects) {
    if (!handle_) throw Failure("无法启动下载库：curl_easy_init 失败");
    set(CURLOPT_PRIVATE, static_cast<void*>(this));
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_ERRORBUFFER, errors_);
    set(CURLOPT_WRITEFUNCTION, &Easy::write);
    set(CURLOPT_WRITEDATA, static_cast<void*>(this));
    set(CURLOPT_FOLLOWLOCATION, 1L);
    set(CURLOPT_MAXREDIRS, options.maxRedirects);
    set(CURLOPT_CONNECTTIMEOUT_MS, options.connectTimeoutMs);
    set(CURLOPT_TIMEOUT_MS, options.totalTimeoutMs);
    set(CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(options.maxBytes));
    set(CURLOPT_BUFFERSIZE, 256L * 1024);  // a page in a few reads, not dozens
    set(CURLOPT_USERAGENT, page::userAgent);
    set(CURLOPT_ACCEPT_ENCODING, page::acceptEncoding);
    set(CURLOPT_HTTPHEADER, headers_.get());
    set(CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));  // 1.2 or 1.3
    // A server may redirect to another web page but never into the local
    // files, so file:// is only fetched when it is the address itself.
#if CURL_AT_LEAST_VERSION(7, 85, 0)
    set(CURLOPT_PROTOCOLS_STR, "http,https,file");
    set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
#else
    set(CURLOPT_PROTOCOLS, static_cast<long>(CURLPROTO_HTTP | CURLPROTO_HTTPS | CURLPROTO_FILE));
    set(CURLOPT_REDIR_PROTOCOLS, static_cast<long>(CURLPROTO_HTTP | CURLPROTO_HTTPS));
#endif
  }

  CURL* handle() const { return handle_.get(); }
  static Easy& of(CURL* handle) {
    char* self = nullptr;
    curl_easy_getinfo(handle, CURLINFO_PRIVATE, &self);
    return *reinterpret_cast<Easy*>(self);
  }

  void prepare(Downloader::Ticket ticket, std::string url) {
    ticket_ = ticket;
    url_ = std::move(url);
    // Each page is handed over in its own buffer; the next one starts with
    // room for a page of the same size (unless that one was huge). A failed
    // page leaves its buffer, dropped when a huge page grew it.
    if (body_.capacity() > (4u << 20)) body_ = std::string();
    body_.clear();
    body_.reserve(std::min(lastSize_, std::size_t{4} << 20));
    tooLarge_ = false;
    errors_[0] = '\0';
    set(CURLOPT_URL, url_.c_str());
    const std::string site = page::refererOf(url_);
    set(CURLOPT_REFERER, site.empty() ? nullptr : site.c_str());
    // Over https the transfers wait to learn whether the connection being
    // opened can carry them all (HTTP/2) rather than each opening its own.
    set(CURLOPT_PIPEWAIT, lowerAscii(std::string_view(url_).substr(0, 8)) == "https://" ? 1L : 0L);
  }

  Downloader::Ticket ticket() const { return ticket_; }

  // The page of a transfer that ended with `result`, as page::receive
  // hands it over; throws the Failure that names the address and the cause.
  page::Fetched page(CURLcode result) {
    const std::string& url = url_;
    if (tooLarge_ || result == CURLE_FILESIZE_EXCEEDED) throw page::tooLarge(url, maxBytes_);
    if (result != CURLE_OK) {
      const std::string why = errors_[0] != '\0' ? std::string(errors_) : std::string(curl_easy_strerror(result));
      switch (result) {
        case CURLE_OPERATION_TIMEDOUT: throw page::timedOut(url, why);
        case CURLE_COULDNT_RESOLVE_HOST: throw page::hostUnresolved(url);
        case CURLE_COULDNT_CONNECT: throw page::connectionRefused(url, why);
        case CURLE_TOO_MANY_REDIRECTS: throw page::tooManyRedirects(url, maxRedirects_);
        case CURLE_UNSUPPORTED_PROTOCOL: {
          // The address's own scheme was checked, so a redirect led off the web.
          long redirects = 0;
          const char* target = nullptr;
          curl_easy_getinfo(handle(), CURLINFO_REDIRECT_COUNT, &redirects);
          curl_easy_getinfo(handle(), CURLINFO_EFFECTIVE_URL, &target);
          if (redirects > 0 && target != nullptr) throw page::redirectRefused(url, target);
          throw page::failed(url, why);
        }
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_CRL_BADFILE:
        case CURLE_SSL_INVALIDCERTSTATUS:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH: throw page::certificateRefused(url, why);
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CERTPROBLEM: throw page::secureConnectionFailed(url, why);
        default: throw page::failed(url, why);
      }
    }

    long status = 0;
    curl_easy_getinfo(handle(), CURLINFO_RESPONSE_CODE, &status);
    if (status >= 400) throw page::httpStatus(url, status);
    // A redirect still unfollowed has no target.
    if (status >= 300) throw page::tooManyRedirects(url, maxRedirects_);

    // The Content-Type of the last response, after any redirects; file://
    // has none.
    const char* type = nullptr;
    curl_easy_getinfo(handle(), CURLINFO_CONTENT_TYPE, &type);
    lastSize_ = body_.size();
    return page::receive(std::move(body_), type != nullptr ? std::string_view(type) : std::string_view());
  }

 private:
  // Keeps the body, up to the limit; past it the transfer is aborted.
  static std::size_t write(char* data, std::size_t size, std::size_t count, void* user) {
    auto* self = static_cast<Easy*>(user);
    const std::size_t n = size * count;
    if (n > self->maxBytes_ - std::min(self->body_.size(), self->maxBytes_)) {
      self->tooLarge_ = true;
      return 0;
    }
    try {
      self->body_.append(data, n);
    } catch (const std::bad_alloc&) {
      return 0;
    }
    return n;
  }

  template <typename T>
  void set(CURLoption option, T value) {
    const CURLcode result = curl_easy_setopt(handle_.get(), option, value);
    if (result != CURLE_OK) throw Failure(std::string("无法设置下载选项：") + curl_easy_strerror(result));
  }

  std::unique_ptr<CURL, HandleCleanup> handle_;
  std::unique_ptr<curl_slist, ListCleanup> headers_;
  std::size_t maxBytes_;
  long maxRedirects_;
  Downloader::Ticket ticket_ = 0;
  std::string url_;
  std::string body_;
  std::size_t lastSize_ = 0;  // of the page handed over before
  bool tooLarge_ = false;
  char errors_[CURL_ERROR_SIZE] = {};
};

struct MultiCleanup {
  void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};

}  // namespace

// The pages asked for, and the thread that transfers them. The caller's
// thread asks (add), waits (take) and drops (drop); the transfer thread alone
// touches the multi handle and the easy handles, and hands each page over
// as page::receive gives it. `mutex_` guards everything the two share.
class CurlDownloader::Transfers {
 public:
  explicit Transfers(Options options) : options(options) {}

  ~Transfers() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
      wake();
    }
    if (thread_.joinable()) thread_.join();
  }

  // Starts fetching `url`; `now` puts it ahead of the pages waiting their turn.
  Ticket add(std::string url, bool now) {
    std::lock_guard lock(mutex_);
    const Ticket ticket = nextTicket_++;
    if (!page::hasFetchableScheme(url)) {
      Job& job = jobs_[ticket];
      job.stage = Stage::Done;
      job.failure = std::make_exception_ptr(page::unfetchable(url));
      return ticket;
    }
    if (!thread_.joinable()) start();
    Job& job = jobs_[ticket];
    job.url = std::move(url);
    job.now = now;
    waiting_.push_back(ticket);
    // A page that must wait for a place is started when one is freed.
    if (now || held_ < maxTransfers) wake();
    return ticket;
  }

  // The page of `ticket`, once it is there; calls `whileWaiting` (when
  // given) every 50 ms of waiting.
  page::Fetched take(Ticket ticket, const std::function<void()>* whileWaiting) {
    using namespace std::chrono_literals;
    std::unique_lock lock(mutex_);
    auto job = find(ticket);
    if (job->second.stage == Stage::Waiting && !job->second.now) {
      job->second.now = true;  // its turn has come, whatever is in flight
      wake();
    }
    auto until = std::chrono::steady_clock::now() + 50ms;
    while (job->second.stage != Stage::Done) {
      if (whileWaiting == nullptr) {
        done_.wait(lock);
      } else if (done_.wait_until(lock, until) == std::cv_status::timeout) {
        lock.unlock();
        (*whileWaiting)();
        lock.lock();
        job = find(ticket);
        until = std::chrono::steady_clock::now() + 50ms;
      }
    }
    Job done = std::move(job->second);
    jobs_.erase(job);
    release(done);
    lock.unlock();
    if (done.failure) std::rethrow_exception(done.failure);
    return std::move(done.page);
  }

  void drop(Ticket ticket) {
    std::lock_guard lock(mutex_);
    const auto job = jobs_.find(ticket);
    if (job == jobs_.end()) return;
    if (job->second.stage == Stage::Waiting) waiting_.erase(std::find(waiting_.begin(), waiting_.end(), ticket));
    if (job->second.stage == Stage::Running) {
      dropped_.push_back(ticket);
      wake();
    }
    release(job->second);
    jobs_.erase(job);
  }

  const Options options;

 private:
  enum class Stage { Waiting, Running, Done };
  struct Job {
    std::string url;
    Stage stage = Stage::Waiting;
    bool now = false;     // started whatever is in flight
    bool holds = false;   // started: counts among the pages held
    page::Fetched page;
    std::exception_ptr failure;  // why the page failed (a time-out is told apart)
  };

  std::map<Ticket, Job>::iterator find(Ticket ticket) {
    const auto job = jobs_.find(ticket);
    if (job == jobs_.end()) throw std::logic_error("collect: unknown ticket");
    return job;
  }

  // A page collected or abandoned frees its place for one waiting.
  void release(const Job& job) {
    if (!job.holds) return;
    --held_;
    if (!waiting_.empty()) wake();
  }

  // Hands a page, or its failure, to the one waiting for it.
  void complete(Ticket ticket, page::Fetched page, std::exception_ptr failure) {
    std::lock_guard lock(mutex_);
    const auto job = jobs_.find(ticket);
    if (job == jobs_.end() || job->second.stage != Stage::Running) return;  // abandoned meanwhile
    job->second.page = std::move(page);
    job->second.failure = std::move(failure);
    job->second.stage = Stage::Done;
    done_.notify_all();
  }

  void wake() {
    if (multi_) curl_multi_wakeup(multi_.get());
  }

  // Makes the multi handle and starts the transfer thread, at the first page.
  void start() {
    multi_.reset(curl_multi_init());
    if (!multi_) throw Failure("无法启动下载库：curl_multi_init 失败");
    // HTTP/2, libcurl's default for https where the server offers it, carries
    // the transfers to one host on one connection.
    curl_multi_setopt(multi_.get(), CURLMOPT_PIPELINING, CURLPIPE_MULTIPLEX);
    curl_multi_setopt(multi_.get(), CURLMOPT_MAX_TOTAL_CONNECTIONS, static_cast<long>(maxTransfers));
    curl_multi_setopt(multi_.get(), CURLMOPT_MAX_HOST_CONNECTIONS, static_cast<long>(maxTransfers));
    curl_multi_setopt(multi_.get(), CURLMOPT_MAXCONNECTS, static_cast<long>(maxTransfers));
    try {
      thread_ = std::thread([this] { run(); });
    } catch (const std::system_error& e) {
      multi_.reset();
      throw Failure(std::string("无法启动下载线程：") + e.what());
    }
  }

  // The transfer thread.
  void run() {
    std::vector<std::unique_ptr<Easy>> idle;
    std::map<Ticket, std::unique_ptr<Easy>> running;
    const auto finish = [&](Ticket ticket, CURLcode result) {
      const auto found = running.find(ticket);
      curl_multi_remove_handle(multi_.get(), found->second->handle());
      page::Fetched page;
      std::exception_ptr failure;
      try {
        page = found->second->page(result);
      } catch (const std::exception&) {
        failure = std::current_exception();
      }
      idle.push_back(std::move(found->second));
      running.erase(found);
      complete(ticket, std::move(page), std::move(failure));
    };

    for (;;) {
      std::vector<std::pair<Ticket, std::string>> starts;
      std::vector<Ticket> drops;
      {
        std::lock_guard lock(mutex_);
        if (stopping_) break;
        drops.swap(dropped_);
        for (auto ticket = waiting_.begin(); ticket != waiting_.end();) {
          Job& job = jobs_.at(*ticket);
          if (!job.now && held_ >= maxTransfers) {
            ++ticket;
            continue;
          }
          job.stage = Stage::Running;
          job.holds = true;
          ++held_;
          starts.emplace_back(*ticket, job.url);
          ticket = waiting_.erase(ticket);
        }
      }
      for (const Ticket ticket : drops) {
        const auto easy = running.find(ticket);
        if (easy == running.end()) continue;
        curl_multi_remove_handle(multi_.get(), easy->second->handle());
        idle.push_back(std::move(easy->second));
        running.erase(easy);
      }
      for (auto& [ticket, url] : starts) {
        try {
          if (idle.empty()) idle.push_back(std::make_unique<Easy>(options));
          idle.back()->prepare(ticket, url);
          const CURLMcode added = curl_multi_add_handle(multi_.get(), idle.back()->handle());
          if (added != CURLM_OK) throw Failure("下载 " + url + " 失败：" + curl_multi_strerror(added));
          running.emplace(ticket, std::move(idle.back()));
          idle.pop_back();
        } catch (const std::exception& e) {
          complete(ticket, {}, std::current_exception());
        }
      }
      int active = 0;
      curl_multi_perform(multi_.get(), &active);
      int left = 0;
      while (CURLMsg* message = curl_multi_info_read(multi_.get(), &left))
        if (message->msg == CURLMSG_DONE) finish(Easy::of(message->easy_handle).ticket(), message->data.result);
      curl_multi_poll(multi_.get(), nullptr, 0, 1000, nullptr);
    }
    for (auto& [ticket, easy] : running) curl_multi_remove_handle(multi_.get(), easy->handle());
  }

  std::mutex mutex_;
  std::condition_variable done_;
  std::map<Ticket, Job> jobs_;       // asked for and not yet collected or abandoned
  std::deque<Ticket> waiting_;       // in the order asked
  std::vector<Ticket> dropped_;      // abandoned while in flight
  int held_ = 0;                     // pages started and not yet collected or abandoned
  Ticket nextTicket_ = 1;
  bool stopping_ = false;
  std::unique_ptr<CURLM, MultiCleanup> multi_;
  std::thread thread_;
};

CurlDownloader::CurlDownloader() : CurlDownloader(Options{}) {}

CurlDownloader::CurlDownloader(Options options) {
  initialiseCurlOnce();
  transfers_ = std::make_unique<Transfers>(options);
}

CurlDownloader::~CurlDownloader() = default;

CurlDownloader::Options CurlDownloader::options() const { return transfers_->options; }

std::u16string CurlDownloader::download(const std::u16string& address) {
  return page::wholeText(transfers_->take(transfers_->add(toUtf8(address), true), nullptr));
}

Downloader::Ticket CurlDownloader::fetchAhead(const std::u16string& address) {
  return transfers_->add(toUtf8(address), false);
}

std::u16string CurlDownloader::collect(Ticket ticket, const std::function<void()>& whileWaiting) {
  return page::wholeText(collectPage(ticket, whileWaiting));
}

page::Fetched CurlDownloader::collectPage(Ticket ticket, const std::function<void()>& whileWaiting) {
  return transfers_->take(ticket, whileWaiting ? &whileWaiting : nullptr);
}

void CurlDownloader::abandon(Ticket ticket) { transfers_->drop(ticket); }

}  // namespace vantoril
