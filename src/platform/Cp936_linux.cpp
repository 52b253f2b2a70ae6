// The GBK conversions on Linux, with iconv.
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/Cp936.h"
#include "platform/Failure.h"
#include "platform/Text.h"

namespace vantoril::cp936 {

namespace {

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)), error_(ok() ? 0 : errno) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }
  int error() const { return error_; }

 private:
  iconv_t cd_;
  int error_;
};

// Converts `in` with `cd`. On an input sequence the target cannot take or
// that is not valid, appends `replacement` and skips `skip` input bytes.
std::string convert(iconv_t cd, std::string_view in, std::string_view replacement, std::size_t skip) {
  std::string out;
  out.resize(in.size() * 2 + 16);
  char* src = const_cast<char*>(in.data());
  std::size_t srcLeft = in.size();
  char* dst = out.data();
  std::size_t dstLeft = out.size();
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  while (srcLeft > 0) {
    const std::size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    if (r != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) {
      const std::size_t used = out.size() - dstLeft;
      out.resize(out.size() * 2);
      dst = out.data() + used;
      dstLeft = out.size() - used;
      continue;
    }
    // EILSEQ or EINVAL (truncated sequence at the end)
    if (dstLeft < replacement.size()) {
      const std::size_t used = out.size() - dstLeft;
      out.resize(out.size() * 2 + replacement.size());
      dst = out.data() + used;
      dstLeft = out.size() - used;
    }
    std::memcpy(dst, replacement.data(), replacement.size());
    dst += replacement.size();
    dstLeft -= replacement.size();
    const std::size_t n = std::min(skip, srcLeft);
    src += n;
    srcLeft -= n;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  out.resize(out.size() - dstLeft);
  return out;
}

std::u16string fromUtf16le(const std::string& bytes) {
  std::u16string out(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                   (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  return out;
}

// The converters of the program's own code pages are opened once per thread
// and kept: opening one loads and relocates conversion modules.
enum class Conversion { GbkToUtf16, Gb18030ToUtf16, Utf32ToGbk };

iconv_t kept(Conversion conversion) {
  thread_local Converter converters[] = {{"UTF-16LE", "GBK"}, {"UTF-16LE", "GB18030"}, {"GBK", "UTF-32LE"}};
  Converter& cd = converters[static_cast<int>(conversion)];
  if (!cd.ok()) failWithErrno("无法使用 GBK 字符集的转换", cd.error());
  return cd.get();
}

std::u16string decodeWith(Conversion conversion, std::string_view bytes) {
  return fromUtf16le(convert(kept(conversion), bytes, std::string_view("\xFD\xFF", 2), 1));
}


}  // namespace

std::string encode(std::u16string_view text) {
  // UTF-32 input lets one bad character be skipped as one unit (4 bytes).
  std::string utf32;
  utf32.reserve(text.size() * 4);
  auto put = [&](char32_t cp) {
    for (int k = 0; k < 4; ++k) utf32.push_back(static_cast<char>((cp >> (8 * k)) & 0xFF));
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = u'?';
    }
    put(cp);
  }
  return convert(kept(Conversion::Utf32ToGbk), utf32, "?", 4);
}

std::u16string decode(std::string_view bytes) {
  // Bytes below 0x80 are ASCII characters and are taken over as they are;
  // iconv converts the stretches that hold other bytes. A byte below 0x40 is
  // never the second byte of a GBK character, so a stretch cut before one
  // converts as it would within the whole text. A stretch runs on over
  // short ASCII gaps (as between the words of a line).
  constexpr std::size_t kShortGap = 32;
  const auto isAscii = [&](std::size_t at) { return static_cast<unsigned char>(bytes[at]) < 0x80; };
  const auto asciiEnd = [&](std::size_t at) {
    while (at < bytes.size() && isAscii(at)) ++at;
    return at;
  };
  std::u16string out;
  out.reserve(bytes.size());
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t other = asciiEnd(at);
    out.append(bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.begin() + static_cast<std::ptrdiff_t>(other));
    if (other == bytes.size()) break;
    std::size_t end = other;
    for (;;) {
      while (end < bytes.size() && static_cast<unsigned char>(bytes[end]) >= 0x40) ++end;
      const std::size_t next = asciiEnd(end);
      if (next == bytes.size() || next - end >= kShortGap) break;
      end = next;
    }
    out += decodeWith(Conversion::GbkToUtf16, bytes.substr(other, end - other));
    at = end;
  }
  return out;
}

std::u16string decodeGb18030(std::string_view bytes) { return decodeWith(Conversion::Gb18030ToUtf16, bytes); }

bool decodeOther(std::string_view bytes, const std::string& name, std::u16string& text) {
  Converter probe("UTF-16LE", name.c_str());
  if (!probe.ok()) return false;
  text = fromUtf16le(convert(probe.get(), bytes, std::string_view("\xFD\xFF", 2), 1));
  return true;
}

}  // namespace vantoril::cp936
