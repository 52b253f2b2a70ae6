#pragma once
// The pages a recording run has asked for before their place's turn, by
// the place's index in the list, each with the address it was fetched for.
#include <functional>
#include <map>
#include <string>

#include "platform/Services.h"

namespace vantoril {

// Places after the current one whose pages are fetched while it is
// processed; with the current place's page, at most 7 pages are held.
inline constexpr int kPlacesAhead = 6;

class PagesAhead final {
 public:
  explicit PagesAhead(Downloader& downloader) : downloader_(downloader) {}
  // Pages never collected are abandoned.
  ~PagesAhead();
  PagesAhead(const PagesAhead&) = delete;
  PagesAhead& operator=(const PagesAhead&) = delete;

  void fetch(int place, const std::u16string& address);
  // Before the turn of place `current` of `count`: starts the pages of the
  // places up to kPlacesAhead after it that were not started yet, each from
  // its catalogue file (`fileOf`). A file that cannot be read is left to
  // its place's turn, which says why.
  void fetchFollowing(int current, int count, const std::function<std::string(int)>& fileOf);
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
  int started_ = 0;  // places whose turn to be fetched ahead has come
};

}  // namespace vantoril
