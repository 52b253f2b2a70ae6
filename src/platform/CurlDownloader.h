#pragma once
// The Downloader of the real program: libcurl's multi interface, driven by
// one transfer thread of the downloader's own, so that the pages a run
// fetches ahead arrive (and a page that is not UTF-8 is decoded) while the
// run works on the page before. Connections are kept between pages and shared by the transfers.
#include <cstddef>
#include <memory>
#include <string>

#include "platform/PageText.h"
#include "platform/Services.h"

namespace vantoril {

class CurlDownloader final : public Downloader {
 public:
  using Options = page::DownloadOptions;
  // Transfers in flight at once, and pages held for collection at once: a
  // page fetched ahead holds its place until it is collected or abandoned;
  // further addresses wait their turn. A page collected before its turn
  // starts at once, beside them.
  static constexpr int maxTransfers = 6;

  CurlDownloader();
  explicit CurlDownloader(Options options);
  ~CurlDownloader() override;
  CurlDownloader(const CurlDownloader&) = delete;
  CurlDownloader& operator=(const CurlDownloader&) = delete;

  Options options() const;

  // Fetches an http, https or file address, follows redirects and decodes
  // the page by the charset of its Content-Type header, else of its meta
  // tag, else as UTF-8. Throws Failure naming the address. Every request
  // says it comes from a browser on the address's own site.
  std::u16string download(const std::u16string& address) override;

  // One thread (the caller's) uses these; the transfers run on the
  // downloader's own thread.
  Ticket fetchAhead(const std::u16string& address) override;
  std::u16string collect(Ticket ticket, const std::function<void()>& whileWaiting) override;
  // A UTF-8 page as its bytes, any other decoded on the transfer thread.
  page::Fetched collectPage(Ticket ticket, const std::function<void()>& whileWaiting) override;
  void abandon(Ticket ticket) override;

 private:
  class Transfers;
  std::unique_ptr<Transfers> transfers_;
};

}  // namespace vantoril
