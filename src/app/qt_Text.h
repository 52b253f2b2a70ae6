#pragma once
// The model's texts as Qt holds them: UTF-16 as it is, UTF-8 decoded.
#include <QString>
#include <string>
#include <string_view>

namespace vantoril {

inline QString qText(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}
inline QString qText(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace vantoril
