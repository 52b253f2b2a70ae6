#include "platform/Failure.h"

#include <cstring>

namespace vantoril {

void failWithErrno(const std::string& what, int error) {
  throw Failure(what + "：" + std::strerror(error));
}

}  // namespace vantoril
