// Fuzz target: a page handed over as its bytes against the same page
// decoded whole. The text shown, the UTF-16 length, the block cut and its
// failures must be the same either way, for any bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Check.h"
#include "platform/Failure.h"
#include "platform/PageText.h"
#include "platform/Text.h"
#include "recording/Observation.h"

namespace {

struct Cut {
  std::optional<vantoril::BlockCut> cut;
  std::string failure;
};

// The cut of the page as text or as a downloader hands it over.
template <class Page>
Cut cutOf(const Page& page) {
  Cut result;
  try {
    result.cut = vantoril::cutBlock(page);
  } catch (const vantoril::Failure& f) {
    result.failure = f.what();
  }
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantoril;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::u16string whole = fromUtf8(bytes);
  CHECK(utf16Length(bytes) == whole.size());

  // A page of any charset; this target's pages are mostly UTF-8, by meta
  // tag or by default.
  const page::Fetched fetched = page::receive(bytes, {});
  CHECK(page::wholeText(fetched) == page::decode(bytes, {}));
  const std::u16string text = page::wholeText(fetched);

  const Cut fromText = cutOf(std::u16string_view(text));
  const Cut fromBytes = cutOf(fetched);
  CHECK(fromBytes.failure == fromText.failure);
  CHECK(fromBytes.cut.has_value() == fromText.cut.has_value());
  if (fromBytes.cut) {
    CHECK(fromBytes.cut->length == fromText.cut->length);
    CHECK(fromBytes.cut->block == fromText.cut->block);
  }
  // Text shown cut at a length the first bytes pick, at Text1's and whole.
  const std::size_t limit = size >= 2 ? (data[0] | (data[1] << 8)) % (text.size() + 2) : 0;
  for (const std::size_t n : {limit, std::size_t{30000}, text.size()}) {
    if (n == 0) continue;
    Utf8Read read;
    CHECK(page::leadingText(fetched, n, &read) == text.substr(0, n));
    if (fetched.utf8) {
      CHECK(read.bytes <= bytes.size() && read.units >= std::min(n, text.size()) && read.units < n + 8);
      CHECK(read.units == utf16Length(std::string_view(bytes).substr(0, read.bytes)));
    } else {
      CHECK(read.bytes == 0 && read.units == 0);
    }
  }
  return 0;
}
