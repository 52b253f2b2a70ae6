#pragma once
// The Downloader of the real program: libcurl, one easy handle kept for the
// program's life so that pages of the same site share a connection.
#include <cstddef>
#include <memory>
#include <string>

#include "platform/Services.h"

namespace vantoril {

class CurlDownloader final : public Downloader {
 public:
  struct Options {
    long connectTimeoutMs = 15000;
    long totalTimeoutMs = 60000;
    std::size_t maxBytes = 16u << 20;  // a longer page is a failure
    long maxRedirects = 5;
  };

  CurlDownloader();
  explicit CurlDownloader(Options options);
  ~CurlDownloader() override;
  CurlDownloader(const CurlDownloader&) = delete;
  CurlDownloader& operator=(const CurlDownloader&) = delete;

  // Fetches an http, https or file address, follows redirects and decodes
  // the page by the charset of its Content-Type header, else of its meta
  // tag, else as UTF-8. Throws Failure naming the address. One download at
  // a time: the handle is not shared between threads.
  std::u16string download(const std::u16string& address) override;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace vantoril
