#pragma once
// The pages a recording run has asked for before their place's turn, by
// the place's index in the list, each with the address it was fetched for.
#include <functional>
#include <map>
#include <string>

#include "platform/Services.h"

namespace vantoril {

class PagesAhead final {
 public:
  explicit PagesAhead(Downloader& downloader) : downloader_(downloader) {}
  // Pages never collected are abandoned.
  ~PagesAhead();
  PagesAhead(const PagesAhead&) = delete;
  PagesAhead& operator=(const PagesAhead&) = delete;

  void fetch(int place, const std::u16string& address);
  // The page of `place` at `address`: the one fetched ahead when it was
  // fetched for that address, else one fetched now (the other abandoned).
  // Throws the download's Failure.
  page::Fetched take(int place, const std::u16string& address, const std::function<void()>& whileWaiting);

 private:
  struct Page {
    std::u16string address;
    Downloader::Ticket ticket;
  };
  Downloader& downloader_;
  std::map<int, Page> pages_;
};

}  // namespace vantoril
