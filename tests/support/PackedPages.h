#pragma once
// A page packed each way a server may send it with "Accept-Encoding: gzip,
// deflate" asked for: the table the Linux and the Windows download tests
// both fetch, each page expected back as `text`.
#include <zlib.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace vantoril::test {

// `text` deflated: windowBits 16 + 15 gives gzip, 15 zlib's wrapper, -15
// the bare stream.
inline std::string deflated(const std::string& text, int windowBits) {
  z_stream z{};
  if (deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("deflateInit2 failed");
  std::string out(deflateBound(&z, static_cast<uLong>(text.size())) + 32, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  const int result = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (result != Z_STREAM_END) throw std::runtime_error("deflate failed");
  return out;
}

struct PackedPage {
  std::string path;      // where a test serves it
  std::string encoding;  // its Content-Encoding
  std::string body;
};

inline std::vector<PackedPage> packedPages(const std::string& text) {
  return {
      {"/gzip", "gzip", deflated(text, 16 + 15)},
      {"/x-gzip", "x-gzip", deflated(text, 16 + 15)},
      {"/deflate", "deflate", deflated(text, 15)},
      {"/bare-deflate", "deflate", deflated(text, -15)},
  };
}

}  // namespace vantoril::test
