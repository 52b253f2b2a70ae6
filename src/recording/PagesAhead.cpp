#include "recording/PagesAhead.h"

#include <exception>
#include <optional>
#include <utility>

#include "catalogue/Catalogue.h"
#include "platform/FileSystem.h"
#include "platform/PageRequest.h"
#include "platform/Text.h"

namespace vantoril {

void SilentSites::answered(const std::string& site) {
  Site& s = sites_[site];
  ++s.pages;
  s.answered = true;
  s.inRow = 0;
}

bool SilentSites::timedOut(const std::string& site) {
  Site& s = sites_[site];
  ++s.pages;
  ++s.inRow;
  const bool was = s.silent;
  s.silent = s.silent || (!s.answered && s.pages >= kFirstPages) || s.inRow >= kTimeOutsInRow;
  return s.silent && !was;
}

bool SilentSites::silent(const std::string& site) const {
  const auto it = sites_.find(site);
  return it != sites_.end() && it->second.silent;
}

namespace {

// The site of an address; none (never silent) for a file.
std::string siteOf(const std::u16string& address) { return page::refererOf(toUtf8(address)); }

}  // namespace

PagesAhead::~PagesAhead() {
  for (const auto& [place, page] : pages_) downloader_.abandon(page.ticket);
}

void PagesAhead::fetch(int place, const std::u16string& address) {
  if (pages_.contains(place) || silent_.silent(siteOf(address))) return;
  pages_.emplace(place, Page{address, downloader_.fetchAhead(address)});
}

void PagesAhead::fetchFollowing(int current, int count, const std::function<std::string(int)>& fileOf) {
  for (; started_ < count && started_ <= current + kPlacesAhead; ++started_) {
    try {
      if (const auto address = catalogue::addressIfExists(fileOf(started_))) fetch(started_, *address);
    } catch (const std::exception&) {
      // Fetched again at the place's turn, which reports the cause.
    }
  }
}

page::Fetched PagesAhead::take(int place, const std::u16string& address,
                                const std::function<void()>& whileWaiting) {
  std::optional<Page> ahead;
  if (const auto it = pages_.find(place); it != pages_.end()) {
    ahead = std::move(it->second);
    pages_.erase(it);
  }
  const std::string site = siteOf(address);
  if (!site.empty() && silent_.silent(site)) {
    if (ahead) downloader_.abandon(ahead->ticket);
    throw SiteSilent(site);
  }
  Downloader::Ticket ticket = 0;
  if (ahead && ahead->address == address) {
    ticket = ahead->ticket;
  } else {
    if (ahead) downloader_.abandon(ahead->ticket);
    // Fetched as a page ahead too, so the window draws while it is awaited.
    ticket = downloader_.fetchAhead(address);
  }
  try {
    page::Fetched page = downloader_.collectPage(ticket, whileWaiting);
    if (!site.empty()) silent_.answered(site);
    return page;
  } catch (const page::TimedOut&) {
    if (!site.empty() && silent_.timedOut(site)) {
      // Its pages in flight would each take their whole time limit.
      for (auto it = pages_.begin(); it != pages_.end();) {
        if (siteOf(it->second.address) != site) {
          ++it;
          continue;
        }
        downloader_.abandon(it->second.ticket);
        it = pages_.erase(it);
      }
    }
    throw;
  } catch (const std::exception&) {
    if (!site.empty()) silent_.answered(site);
    throw;
  }
}

}  // namespace vantoril
