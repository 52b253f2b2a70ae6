#include "platform/Text.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <cstdio>

namespace vantoril {

namespace {

// Where decoded UTF-16 units go: into a buffer, up to a limit ...
class UnitWriter {
 public:
  // `out` has room for `limit` + 8 units, or for as many units as the
  // input has bytes (the output never runs ahead of the input).
  UnitWriter(char16_t* out, std::size_t limit) : begin_(out), o_(out), limit_(out + limit) {}
  bool full() const { return o_ >= limit_; }
  void put(char16_t unit) { *o_++ = unit; }
  // Eight ASCII bytes widened at once, of which the first `ascii` are kept.
  void ascii8(std::uint64_t word, int ascii) {
    std::uint64_t units[2];
    for (int half = 0; half < 2; ++half) {
      std::uint64_t x = (word >> (32 * half)) & 0xFFFFFFFFull;
      x = (x | (x << 16)) & 0x0000FFFF0000FFFFull;
      x = (x | (x << 8)) & 0x00FF00FF00FF00FFull;
      units[half] = x;
    }
    std::memcpy(o_, units, sizeof units);
    o_ += ascii;
  }
  std::size_t written() const { return static_cast<std::size_t>(o_ - begin_); }

 private:
  char16_t* begin_;
  char16_t* o_;
  char16_t* limit_;
};

// ... or only counted.
class UnitCounter {
 public:
  static bool full() { return false; }
  void put(char16_t) { ++count_; }
  void ascii8(std::uint64_t, int ascii) { count_ += static_cast<std::size_t>(ascii); }
  std::size_t written() const { return count_; }

 private:
  std::size_t count_ = 0;
};

// `escape`: a byte that is not part of UTF-8 becomes U+DC80 + byte instead
// of U+FFFD. Stops once `out` is full, at a character's end; every unit
// depends only on the bytes of its own character and those just after it,
// so the units written are the first ones of the whole text's.
// Returns the bytes decoded.
template <typename Out>
std::size_t decodeUtf8(std::string_view s, bool escape, Out& out) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const unsigned char* const end = p + s.size();
  while (p < end && !out.full()) {
    // Runs of ASCII, eight bytes at a time.
    while (end - p >= 8 && !out.full()) {
      std::uint64_t word;
      std::memcpy(&word, p, 8);
      const std::uint64_t high = word & 0x8080808080808080ull;
      // The ASCII bytes before the first other byte (little-endian order).
      const int ascii = high ? std::countr_zero(high) / 8 : 8;
      if (ascii == 0) break;
      out.ascii8(word, ascii);
      p += ascii;
      if (ascii < 8) break;
    }
    if (p >= end || out.full()) break;
    const unsigned char b = *p;
    if (b < 0x80) {
      out.put(b);
      ++p;
      continue;
    }
    // The common case of Chinese text: a run of well-formed three-byte
    // characters, 1110xxxx 10xxxxxx 10xxxxxx, neither overlong (E0 below A0)
    // nor a surrogate (ED from A0).
    if ((b & 0xF0) == 0xE0) {
      const unsigned char* const run = p;
      while (end - p >= 4 && !out.full()) {
        std::uint32_t w;
        std::memcpy(&w, p, 4);
        if (std::endian::native != std::endian::little) w = ((w & 0xFF) << 16) | (w & 0xFF00) | ((w >> 16) & 0xFF);
        if ((w & 0xC0C0F0u) != 0x8080E0u) break;
        const std::uint32_t lead = w & 0xFF, second = (w >> 8) & 0xFF;
        if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0)) break;
        out.put(static_cast<char16_t>(((lead & 0x0F) << 12) | ((second & 0x3F) << 6) | ((w >> 16) & 0x3F)));
        p += 3;
      }
      if (p != run) continue;
    }
    int extra = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if (b >= 0xC2 && b <= 0xDF) { extra = 1; cp = b & 0x1F; min = 0x80; }
    else if (b >= 0xE0 && b <= 0xEF) { extra = 2; cp = b & 0x0F; min = 0x800; }
    else if (b >= 0xF0 && b <= 0xF4) { extra = 3; cp = b & 0x07; min = 0x10000; }
    else { out.put(escape ? static_cast<char16_t>(0xDC00 + b) : u'\uFFFD'); ++p; continue; }
    const unsigned char* q = p + 1;
    bool ok = true;
    for (int k = 0; k < extra; ++k, ++q) {
      if (q >= end || (*q & 0xC0) != 0x80) { ok = false; break; }
      cp = (cp << 6) | (*q & 0x3F);
    }
    if (!ok || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      if (escape) {  // every byte of the broken sequence stands for itself
        out.put(static_cast<char16_t>(0xDC00 + b));
        ++p;
        continue;
      }
      // A broken sequence gives one replacement character and never
      // swallows the byte that broke it.
      out.put(0xFFFD);
      p = ok ? q : (q > p + 1 ? q : p + 1);
      continue;
    }
    if (cp < 0x10000) {
      out.put(static_cast<char16_t>(cp));
    } else {
      cp -= 0x10000;
      out.put(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.put(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
    p = q;
  }
  return static_cast<std::size_t>(p - reinterpret_cast<const unsigned char*>(s.data()));
}

// At most `limit` units (a character of two units may be cut in half, as a
// text cut to that length would be).
std::u16string decodeUtf8(std::string_view s, bool escape, std::size_t limit, Utf8Read* read = nullptr) {
  // Never more UTF-16 units than bytes: write straight into a buffer of
  // that size (or of the limit and the widest write past it) and cut it to
  // what was written.
  std::u16string out(std::min(s.size(), limit > s.size() ? s.size() : limit + 8), u'\0');
  UnitWriter writer(out.data(), std::min(limit, s.size()));
  const std::size_t bytes = decodeUtf8(s, escape, writer);
  if (read) *read = {bytes, writer.written()};
  out.resize(std::min(writer.written(), limit));
  return out;
}

}  // namespace

std::u16string fromUtf8(std::string_view s) { return decodeUtf8(s, false, s.size()); }

std::u16string fromUtf8(std::string_view bytes, std::size_t maxUnits, Utf8Read* read) {
  return decodeUtf8(bytes, false, maxUnits, read);
}

std::size_t utf16Length(std::string_view bytes) {
  UnitCounter counter;
  decodeUtf8(bytes, false, counter);
  return counter.written();
}

std::u16string fileNameText(std::string_view bytes) { return decodeUtf8(bytes, true, bytes.size()); }

std::string fileNameBytes(std::u16string_view text) {
  std::string out;
  std::size_t from = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || (text[i] >= 0xDC80 && text[i] <= 0xDCFF && (i == 0 || text[i - 1] < 0xD800 || text[i - 1] > 0xDBFF))) {
      out += toUtf8(text.substr(from, i - from));
      if (i < text.size()) out.push_back(static_cast<char>(text[i] - 0xDC00));
      from = i + 1;
    }
  }
  return out;
}

std::string toUtf8(std::u16string_view t) {
  std::string out;
  out.reserve(t.size() * 3);
  for (std::size_t i = 0; i < t.size(); ++i) {
    char32_t cp = t[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < t.size() && t[i + 1] >= 0xDC00 && t[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (t[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string lowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = lowerAscii(c);
  return out;
}

std::u16string decimal(long long n) {
  const std::string s = std::to_string(n);
  return std::u16string(s.begin(), s.end());
}

std::u16string countText(long long count) {
  const float f = static_cast<float>(count);
  if (std::fabs(f) < 1e7f) return decimal(std::llround(f));
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.6E", static_cast<double>(f));  // "1.234568E+07"
  std::string s = buf;
  const auto e = s.find('E');
  std::string mantissa = s.substr(0, e);
  while (mantissa.back() == '0') mantissa.pop_back();
  if (mantissa.back() == '.') mantissa.pop_back();
  s = mantissa + s.substr(e);
  return std::u16string(s.begin(), s.end());
}

// Horspool's search, its shift table indexed by the low byte of a
// character: where characters share a low byte the smallest shift holds, so
// no occurrence is skipped.
TextSearch::TextSearch(std::u16string_view what) : what_(what) {
  const std::size_t m = what_.size();
  shift_.fill(m == 0 ? 1 : m);
  for (std::size_t i = 0; i + 1 < m; ++i) shift_[what_[i] & 0xFF] = m - 1 - i;
}

std::size_t TextSearch::find(std::u16string_view text, std::size_t from) const {
  const std::size_t n = text.size(), m = what_.size();
  if (m == 0) return from <= n ? from : std::u16string_view::npos;
  if (m > n) return std::u16string_view::npos;
  const char16_t last = what_[m - 1];
  for (std::size_t at = from; at + m <= n;) {
    const char16_t c = text[at + m - 1];
    if (c == last && text.compare(at, m - 1, what_, 0, m - 1) == 0) return at;
    at += shift_[c & 0xFF];
  }
  return std::u16string_view::npos;
}

std::size_t findPosition(std::u16string_view text, std::u16string_view what) {
  const std::size_t at = TextSearch(what).find(text);
  return at == std::u16string_view::npos ? 0 : at + 1;
}

}  // namespace vantoril
