#pragma once
// The Downloader of the program on Windows: WinHTTP, one session kept for
// the program's life so that pages of the same site share connections, and
// up to six pages fetched ahead on worker threads.
#include <cstddef>
#include <memory>
#include <string>

#include "platform/Failure.h"
#include "platform/PageRequest.h"
#include "platform/PageText.h"
#include "platform/Services.h"

namespace vantoril {

class WinHttpDownloader final : public Downloader {
 public:
  using Options = page::DownloadOptions;
  static constexpr int kMaxInFlight = 6;

  WinHttpDownloader();
  explicit WinHttpDownloader(Options options);
  ~WinHttpDownloader() override;
  WinHttpDownloader(const WinHttpDownloader&) = delete;
  WinHttpDownloader& operator=(const WinHttpDownloader&) = delete;

  // Fetches an http, https or file address, follows redirects, unpacks a
  // gzip or deflate body and decodes the page by the charset of its
  // Content-Type header, else of its meta tag, else as UTF-8. Throws
  // Failure naming the address. Safe to call from several threads.
  std::u16string download(const std::u16string& address) override;

  // The failure of a WinHTTP call that ended with `error`, worded as the
  // libcurl downloader's are: the certificate, the secure connection or the
  // timeout named as such. `secureFlags` are the certificate flags the
  // request reported (WINHTTP_CALLBACK_STATUS_SECURE_FAILURE), if any.
  static page::DownloadFailure failure(const std::string& url, unsigned long error, unsigned long secureFlags = 0);

  Ticket fetchAhead(const std::u16string& address) override;
  std::u16string collect(Ticket ticket, const std::function<void()>& whileWaiting) override;
  page::Fetched collectPage(Ticket ticket, const std::function<void()>& whileWaiting) override;
  void abandon(Ticket ticket) override;

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace vantoril
