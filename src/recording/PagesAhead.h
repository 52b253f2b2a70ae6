#pragma once
// The pages a recording run has asked for before their place's turn, by
// the place's index in the list, each with the address it was fetched for.
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "platform/Failure.h"
#include "platform/Services.h"

namespace vantoril {

// Places after the current one whose pages are fetched while it is
// processed; with the current place's page, at most 7 pages are held.
inline constexpr int kPlacesAhead = 6;

// Sites that stopped answering in this run, so that their other places fail
// at once rather than each after its whole time limit. A site ("scheme://
// host[:port]/") is silent once the first kFirstPages of its pages collected
// have all failed by time-out, or once kTimeOutsInRow of its pages in a row
// have; a page that came, or failed another way, breaks the row. A site
// whose pages answer keeps giving each page its whole time.
class SilentSites final {
 public:
  // The pages the downloaders fetch at once: a silent site's first pages
  // all end together, at their time limit.
  static constexpr int kFirstPages = 6;
  static constexpr int kTimeOutsInRow = 12;

  // The outcome of a collected page of `site`.
  void answered(const std::string& site);
  // True when this time-out makes the site silent.
  bool timedOut(const std::string& site);
  bool silent(const std::string& site) const;

 private:
  struct Site {
    int pages = 0, inRow = 0;
    bool answered = false, silent = false;
  };
  std::map<std::string, Site> sites_;
};

// A place not fetched as its site stopped answering.
class SiteSilent : public Failure {
 public:
  explicit SiteSilent(const std::string& site) : Failure("网站无响应：" + site), site_(site) {}
  const std::string& site() const { return site_; }

 private:
  std::string site_;
};

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
  // Throws the download's Failure; SiteSilent, at once, for a page of a
  // site that stopped answering (SilentSites), whose pages fetched ahead are
  // abandoned then.
  page::Fetched take(int place, const std::u16string& address, const std::function<void()>& whileWaiting);

 private:
  struct Page {
    std::u16string address;
    Downloader::Ticket ticket;
  };
  Downloader& downloader_;
  std::map<int, Page> pages_;
  SilentSites silent_;
  int started_ = 0;  // places whose turn to be fetched ahead has come
};

}  // namespace vantoril
