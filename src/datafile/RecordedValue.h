#pragma once
// What a data file's cell may hold as an observed value: nothing a
// spreadsheet would take for anything but data.
#include <cstddef>
#include <string_view>

namespace vantoril::datafile {

// The longest number the data file's readers take, in characters.
inline constexpr std::size_t kMostNumberCharacters = 32;

// A plain decimal number: an optional minus sign, digits, optionally a
// point and digits ("-10.5", "0", "12.5"), at most kMostNumberCharacters.
// No sign "+", no exponent, no blank, no thousands separator.
bool plainNumber(std::u16string_view text);

// A value a record keeps: empty, a plain number, or one of the site's
// placeholders for no reading ("null", "-", "--").
bool recordedValue(std::u16string_view text);

}  // namespace vantoril::datafile
