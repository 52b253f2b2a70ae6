#include "recording/PagesAhead.h"

#include <exception>
#include <optional>
#include <utility>

#include "catalogue/Catalogue.h"
#include "platform/FileSystem.h"

namespace vantoril {

PagesAhead::~PagesAhead() {
  for (const auto& [place, page] : pages_) downloader_.abandon(page.ticket);
}

void PagesAhead::fetch(int place, const std::u16string& address) {
  if (pages_.contains(place)) return;
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
  Downloader::Ticket ticket = 0;
  if (ahead && ahead->address == address) {
    ticket = ahead->ticket;
  } else {
    if (ahead) downloader_.abandon(ahead->ticket);
    // Fetched as a page ahead too, so the window draws while it is awaited.
    ticket = downloader_.fetchAhead(address);
  }
  return downloader_.collectPage(ticket, whileWaiting);
}

}  // namespace vantoril
