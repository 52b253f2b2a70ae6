#include "platform/PageText.h"

#include <algorithm>
#include <utility>

#include "platform/Cp936.h"
#include "platform/Text.h"

namespace vantoril::page {

namespace {

// How far into a page its <meta> charset is looked for.
constexpr std::size_t metaSearchLength = 64 * 1024;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

std::string_view trim(std::string_view text) {
  while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
  return text;
}

bool isCharsetChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
         c == '.' || c == ':';
}

// The charset parameter of a Content-Type value ("text/html; charset=GBK"),
// or "" when it has none.
std::string charsetOfContentType(std::string_view type) {
  std::size_t at = type.find(';');
  while (at != std::string_view::npos) {
    const std::size_t next = type.find(';', at + 1);
    const std::string_view param =
        type.substr(at + 1, next == std::string_view::npos ? std::string_view::npos : next - at - 1);
    const std::size_t eq = param.find('=');
    if (eq != std::string_view::npos && lowerAscii(trim(param.substr(0, eq))) == "charset") {
      std::string_view value = trim(param.substr(eq + 1));
      if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = trim(value.substr(1, value.size() - 2));
      return std::string(value);
    }
    at = next;
  }
  return {};
}

// The charset a page declares in a <meta> tag near its start, in either
// form: <meta charset="utf-8"> or
// <meta http-equiv="Content-Type" content="text/html; charset=gb2312">.
// "" when none is found.
bool startsWithNoCase(std::string_view text, std::size_t at, std::string_view word) {
  if (text.size() - std::min(at, text.size()) < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i)
    if (lowerAscii(text[at + i]) != word[i]) return false;
  return true;
}

std::string charsetOfMeta(std::string_view body) {
  // Only the tags of the head are looked at; the page itself is not copied.
  const std::string_view page = body.substr(0, metaSearchLength);
  for (std::size_t lt = page.find('<'); lt != std::string_view::npos; lt = page.find('<', lt + 1)) {
    if (startsWithNoCase(page, lt + 1, "/head") || startsWithNoCase(page, lt + 1, "body")) break;
    if (!startsWithNoCase(page, lt + 1, "meta")) continue;
    const std::size_t close = page.find('>', lt);
    const std::string tag = lowerAscii(page.substr(lt, close == std::string_view::npos ? page.npos : close - lt));
    for (std::size_t name = tag.find("charset"); name != std::string::npos; name = tag.find("charset", name + 1)) {
      std::size_t i = name + 7;
      while (i < tag.size() && isSpace(tag[i])) ++i;
      if (i >= tag.size() || tag[i] != '=') continue;
      ++i;
      while (i < tag.size() && (isSpace(tag[i]) || tag[i] == '"' || tag[i] == '\'')) ++i;
      const std::size_t first = i;
      while (i < tag.size() && isCharsetChar(tag[i])) ++i;
      if (i > first) return tag.substr(first, i - first);
    }
  }
  return {};
}

}  // namespace

bool hasFetchableScheme(std::string_view address) {
  const std::string start = lowerAscii(address.substr(0, 8));
  return start.starts_with("http://") || start.starts_with("https://") || start.starts_with("file://");
}

namespace {

std::string charsetOf(std::string_view bytes, std::string_view contentType) {
  std::string charset = charsetOfContentType(contentType);
  if (charset.empty()) charset = charsetOfMeta(bytes);
  return charset;
}

}  // namespace

std::u16string decode(std::string_view bytes, std::string_view contentType) {
  std::string charset = charsetOf(bytes, contentType);
  if (charset.empty()) charset = "UTF-8";
  return cp936::decodeCharset(bytes, charset);
}

Fetched receive(std::string bytes, std::string_view contentType) {
  Fetched page;
  const std::string charset = charsetOf(bytes, contentType);
  if (cp936::isUtf8Charset(charset)) {
    page.utf8 = true;
    page.bytes = std::move(bytes);
  } else {
    page.text = cp936::decodeCharset(bytes, charset);
  }
  return page;
}

Fetched received(std::u16string text) {
  Fetched page;
  page.text = std::move(text);
  return page;
}

std::u16string wholeText(const Fetched& page) { return page.utf8 ? fromUtf8(page.bytes) : page.text; }

std::u16string leadingText(const Fetched& page, std::size_t maxUnits, Utf8Read* read) {
  if (maxUnits == 0) return wholeText(page);
  if (page.utf8) return fromUtf8(page.bytes, maxUnits, read);
  return page.text.substr(0, maxUnits);
}

}  // namespace vantoril::page
