#pragma once
// A catalogue of many places, made fast: a thousand in the catalogue folder
// itself and a thousand in each subfolder 区域1, 区域2, ... (one folder of
// 100,000 files is slow to make on some file systems). Place i is named
// "地<i>" and holds placeAddress(i).
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "support/Fakes.h"

namespace vantoril::test {

inline std::string placeAddress(int i) {
  return "http://www.weather.com.cn/weather1d/" + std::to_string(i) + ".shtml";
}

inline void writeManyPlaces(const FormFixture& f, int places) {
  for (int i = 0; i < places; ++i) {
    const int folder = i / 1000;
    const std::string dir = folder == 0 ? f.website() : f.website("区域" + std::to_string(folder) + "/");
    if (i % 1000 == 0) std::filesystem::create_directories(dir);
    const std::string path = dir + "地" + std::to_string(i) + ".txt";
    const std::string line = placeAddress(i) + "\r\n";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    const bool written = fd >= 0 && ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    if (fd >= 0) ::close(fd);
    if (!written) throw std::runtime_error("cannot write " + path);
  }
}

}  // namespace vantoril::test
