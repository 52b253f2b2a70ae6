#pragma once
// The sample pages and their expected values in tests/data.
#include <string>

#include "platform/FileSystem.h"

namespace vantoril::test {

// The bytes of tests/data/<file>.
inline std::string sampleData(const std::string& file) {
  return readWholeFile(std::string(VANTORIL_TEST_DATA) + "/" + file);
}

}  // namespace vantoril::test
