// The text foundation: GBK bytes, the line reader, UTF-8 and the count text.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/Cp936.h"
#include "platform/Failure.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "support/Fakes.h"

namespace vantoril {
namespace {

using test::TempFolder;
using Lines = std::vector<std::u16string>;

// "CC EC 3A" -> the three bytes.
std::string hexBytes(std::string_view hex) {
  std::string out;
  for (std::size_t i = 0; i < hex.size();) {
    if (hex[i] == ' ') {
      ++i;
      continue;
    }
    out.push_back(static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    i += 2;
  }
  return out;
}

// ---------------------------------------------------------------- GBK codec

TEST(Gbk, FixedTextsOfTheDataFileEncodeToTheirExactBytes) {
  struct Case {
    std::u16string_view text;
    std::string_view bytes;
  };
  const Case cases[] = {
      {u"天气数据文件", "CC EC C6 F8 CA FD BE DD CE C4 BC FE"},
      {u"数据记录时间:", "CA FD BE DD BC C7 C2 BC CA B1 BC E4 3A"},
      {u"整点", "D5 FB B5 E3"},
      {u"气温", "C6 F8 CE C2"},
      {u"降水", "BD B5 CB AE"},
      {u"湿度", "CA AA B6 C8"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(cp936::encode(c.text), hexBytes(c.bytes)) << toUtf8(c.text);
    EXPECT_EQ(cp936::decode(hexBytes(c.bytes)), c.text) << toUtf8(c.text);
  }
}

TEST(Gbk, ACharacterGbkCannotHoldBecomesOneQuestionMark) {
  // An emoji (a surrogate pair) and a lone surrogate: one "?" each, the
  // characters around them untouched.
  EXPECT_EQ(cp936::encode(u"a\U0001F600b"), "a?b");
  EXPECT_EQ(cp936::encode(std::u16string(u"北") + char16_t(0xD800) + u"京"), hexBytes("B1 B1 3F BE A9"));
  EXPECT_EQ(cp936::encode(std::u16string(1, char16_t(0xDC00))), "?");
  // Thai has no place in GBK.
  EXPECT_EQ(cp936::encode(u"x\u0E01\u0E02y"), "x??y");
}

TEST(Gbk, InvalidBytesDecodeToReplacementCharacters) {
  // A lead byte at the very end, a lead byte followed by a byte that cannot
  // trail it, and a byte that is never a lead byte.
  EXPECT_EQ(cp936::decode(hexBytes("41 81")), u"A\uFFFD");
  EXPECT_EQ(cp936::decode(hexBytes("81 20 42")), u"\uFFFD B");
  EXPECT_EQ(cp936::decode(hexBytes("FF 43")), u"\uFFFDC");
  // Good text after a bad byte is still read.
  EXPECT_EQ(cp936::decode(hexBytes("FF B1 B1 BE A9")), u"\uFFFD北京");
  // The user-defined areas hold no character (Windows would give private-use
  // ones); the single byte 80 is the euro sign.
  EXPECT_EQ(cp936::decode(hexBytes("AA A1 41 FE 50 80")), u"\uFFFD\uFFFDA\uFFFDP\u20AC");
  EXPECT_EQ(cp936::encode(u"\uE000\uF8F5\u20AC"), "??\x80");
}

TEST(Gbk, AsciiPassesThroughAndLongTextsConvertWhole) {
  const std::u16string ascii = u"http://www.weather.com.cn/weather1d/101010100.shtml\t\r\n\"x\"";
  EXPECT_EQ(cp936::encode(ascii), toUtf8(ascii));
  EXPECT_EQ(cp936::decode(toUtf8(ascii)), ascii);
  // Larger than any first guess of the output size.
  std::u16string big;
  for (int i = 0; i < 20000; ++i) big += u"气温a";
  const std::string bytes = cp936::encode(big);
  EXPECT_EQ(bytes.size(), 20000u * 5);
  EXPECT_EQ(cp936::decode(bytes), big);
}

// The plain rule, one character at a time: a byte below 80 is itself; a
// lead byte and a byte that may trail it are one character where GBK has
// one; any other byte is the replacement character (80 the euro sign), and
// the byte after a refused pair is looked at afresh.
std::u16string plainGbk(std::string_view s) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  std::u16string out;
  for (std::size_t i = 0; i < s.size();) {
    if (byte(i) < 0x80) {
      out += static_cast<char16_t>(byte(i++));
      continue;
    }
    const bool lead = byte(i) >= 0x81 && byte(i) <= 0xFE;
    if (lead && i + 1 < s.size() && byte(i + 1) >= 0x40 && byte(i + 1) != 0x7F && byte(i + 1) != 0xFF) {
      const std::u16string pair = cp936::decode(s.substr(i, 2));
      if (pair.size() == 1 && pair[0] != u'\uFFFD') {
        out += pair;
        i += 2;
        continue;
      }
    }
    out += cp936::decode(s.substr(i++, 1));
  }
  return out;
}

TEST(Gbk, LongTextDecodesAsThePlainRuleSaysWhereverBadBytesFall) {
  // Pieces of data files: ASCII runs short and long (the converter takes
  // long ones over as they are), Chinese, a lead byte before a line end or
  // a digit, trail bytes in the ASCII range, bytes that are no character.
  const std::string pieces[] = {"\xCA\xFD\xBE\xDD", "\t12.5\t0\t70", "\r\n", "\r",
                                std::string(40, '7'), "\x81", "\xB1", "\x81\x41", "\x80", "\xFF",
                                "\xAA\xA1", "\xFE\x50", "\xD5\xFB\xB5\xE3", "A@", "\x81\x7F", "\xB1\x30"};
  std::mt19937 random(20261207);
  for (int round = 0; round < 3000; ++round) {
    std::string bytes;
    const int count = static_cast<int>(random() % 30);
    for (int k = 0; k < count; ++k) bytes += pieces[random() % std::size(pieces)];
    ASSERT_EQ(cp936::decode(bytes), plainGbk(bytes)) << "round " << round;
  }
}

// -------------------------------------------------------------- line reader

TEST(LineReader, ALineEndsOnlyAtCrOptionallyFollowedByLf) {
  EXPECT_EQ(cp936::splitLines("a\r\nb\r\n"), (Lines{u"a", u"b"}));
  EXPECT_EQ(cp936::splitLines("a\rb\r"), (Lines{u"a", u"b"}));
  EXPECT_EQ(cp936::splitLines("a\r\rb"), (Lines{u"a", u"", u"b"}));
  EXPECT_EQ(cp936::splitLines("\r\n"), (Lines{u""}));
  // Only the one LF right after the CR belongs to the line end; a lone LF
  // stays inside the line.
  EXPECT_EQ(cp936::splitLines("a\r\n\nb"), (Lines{u"a", u"\nb"}));
  EXPECT_EQ(cp936::splitLines("a\nb\r\n"), (Lines{u"a\nb"}));
  EXPECT_EQ(cp936::splitLines("a\nb\n"), (Lines{u"a\nb\n"}));
  // A last line without end is read; no text, no lines.
  EXPECT_EQ(cp936::splitLines("a\r\nlast"), (Lines{u"a", u"last"}));
  EXPECT_TRUE(cp936::splitLines("").empty());
}

TEST(LineReader, ReadsGbkFilesAndFailsOnAMissingOne) {
  TempFolder folder;
  const std::string path = folder / "place.txt";
  writeWholeFile(path, hexBytes("B1 B1 BE A9 0D 0A C9 CF BA A3 0D 74 68 69 72 64"));
  EXPECT_EQ(cp936::readLines(path), (Lines{u"北京", u"上海", u"third"}));
  writeWholeFile(path, "");
  EXPECT_TRUE(cp936::readLines(path).empty());
  EXPECT_THROW(cp936::readLines(folder / "missing.txt"), Failure);
}

TEST(LineReader, CreateWithLineWritesOneGbkLineAndNeverReplacesAFile) {
  TempFolder folder;
  const std::string path = folder / "out.txt";
  cp936::createWithLine(path, u"天气数据文件");
  EXPECT_EQ(readWholeFile(path), hexBytes("CC EC C6 F8 CA FD BE DD CE C4 BC FE 0D 0A"));
  EXPECT_THROW(cp936::createWithLine(path, u""), Failure);
  EXPECT_EQ(readWholeFile(path), hexBytes("CC EC C6 F8 CA FD BE DD CE C4 BC FE 0D 0A"));
  cp936::createWithLine(folder / "empty.txt", u"");
  EXPECT_EQ(readWholeFile(folder / "empty.txt"), "\r\n");
}

// ------------------------------------------------------------------- UTF-8

TEST(Utf8, RoundTripsChineseAndCharactersBeyondTheBasicPlane) {
  const std::u16string text = u"北京 a\U0001F600z";
  EXPECT_EQ(toUtf8(text), "\xE5\x8C\x97\xE4\xBA\xAC a\xF0\x9F\x98\x80z");
  EXPECT_EQ(fromUtf8(toUtf8(text)), text);
  EXPECT_EQ(fromUtf8("\xF0\x9F\x98\x80").size(), 2u);  // one surrogate pair
}

TEST(Utf8, BytesThatAreNotUtf8BecomeReplacementCharacters) {
  EXPECT_EQ(fromUtf8("a\xFF" "b"), u"a\uFFFDb");
  EXPECT_EQ(fromUtf8("\xC0\x80"), u"\uFFFD\uFFFD");          // overlong: C0 is never valid
  EXPECT_EQ(fromUtf8("\xE0\x80\x80" "x"), u"\uFFFDx");        // overlong three-byte form
  EXPECT_EQ(fromUtf8("\xED\xA0\x80"), u"\uFFFD");            // an encoded surrogate
  EXPECT_EQ(fromUtf8("\xE5\x8C" "x"), u"\uFFFDx");            // cut short, the next character kept
  EXPECT_EQ(fromUtf8("\xE5\x8C"), u"\uFFFD");                // cut short at the end
  EXPECT_EQ(fromUtf8("\xF4\x90\x80\x80"), u"\uFFFD");        // beyond U+10FFFF
  // A lone surrogate becomes the replacement character.
  EXPECT_EQ(toUtf8(std::u16string(u"a") + char16_t(0xD83D) + u"b"), "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(toUtf8(std::u16string(1, char16_t(0xDE00))), "\xEF\xBF\xBD");
}

TEST(Utf8, LongTextDecodesAsItsPartsDoWhereverABrokenSequenceFalls) {
  // Long runs take the fast paths; parts shorter than eight bytes do not.
  const std::string broken[] = {"\xFF", "\xC0\x80", "\xE0\x80\x80", "\xED\xA0\x80", "\xE5\x8C", "\xF0\x9F\x98\x80", "\xE5\x8C\x97"};
  for (std::size_t pad = 0; pad < 9; ++pad) {
    for (const std::string& bad : broken) {
      const std::string before = std::string(pad, 'a'), after = "\xE4\xBA\xAC" "bcdefg";
      EXPECT_EQ(fromUtf8(before + bad + after), fromUtf8(before) + fromUtf8(bad) + fromUtf8(after))
          << "pad " << pad << ", bytes " << bad.size();
    }
  }
}

// The plain rule, one character at a time: a broken sequence gives one
// replacement character and never swallows the byte that broke it.
std::u16string plainUtf8(std::string_view s) {
  std::u16string out;
  for (std::size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    const int extra = b < 0x80 ? 0 : (b >= 0xC2 && b <= 0xDF) ? 1 : (b >= 0xE0 && b <= 0xEF) ? 2 : (b >= 0xF0 && b <= 0xF4) ? 3 : -1;
    if (extra < 0) { out += u'\uFFFD'; ++i; continue; }
    char32_t cp = extra == 0 ? b : b & (0x3F >> extra);
    std::size_t j = i + 1;
    while (j < i + 1 + extra && j < s.size() && (static_cast<unsigned char>(s[j]) & 0xC0) == 0x80)
      cp = (cp << 6) | (static_cast<unsigned char>(s[j++]) & 0x3F);
    const char32_t min = extra == 1 ? 0x80 : extra == 2 ? 0x800 : 0x10000;
    if (j != i + 1 + extra || (extra > 0 && cp < min) || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out += u'\uFFFD';
      i = j;
      continue;
    }
    if (cp >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
    i = j;
  }
  return out;
}

TEST(Utf8, TheFastPathsGiveWhatThePlainRuleGivesOnMixedBytes) {
  // Pieces of Chinese pages, broken sequences among them, in random order.
  const std::string pieces[] = {"<li>", "\xE5\x8C\x97\xE4\xBA\xAC", "abcdefghij", "\xE4\xBA", "\xED\xA0\x80", "\xE0\x9F\xBF",
                                "\xF0\x9F\x98\x80", "\xC3\xA9", "\xFF", "\x80", "\xEF\xBF\xBD", "\xE3\x80\x81\xE3"};
  std::mt19937 random(20261207);
  for (int round = 0; round < 2000; ++round) {
    std::string bytes;
    const int count = static_cast<int>(random() % 24);
    for (int k = 0; k < count; ++k) bytes += pieces[random() % std::size(pieces)];
    ASSERT_EQ(fromUtf8(bytes), plainUtf8(bytes)) << "round " << round;
    ASSERT_EQ(fileNameBytes(fileNameText(bytes)), bytes) << "round " << round;
  }
}

// ---------------------------------------------------------------- search

TEST(TextSearch, FindsEveryOccurrenceAlsoAmongCharactersSharingALowByte) {
  // U+4E61 and U+4F64 share their low bytes with "a" and "d".
  const std::u16string text = u"\u4E61\u4F64data\u4E61da\u4F64datadata";
  const TextSearch search(u"data");
  std::vector<std::size_t> found;
  for (auto at = search.find(text); at != std::u16string_view::npos; at = search.find(text, at + 1)) found.push_back(at);
  EXPECT_EQ(found, (std::vector<std::size_t>{2, 10, 14}));
  EXPECT_EQ(findPosition(u"observe24h_data", u"observe24h_data"), 1u);
  EXPECT_EQ(findPosition(u"xobserve24h_dat", u"observe24h_data"), 0u);
  EXPECT_EQ(findPosition(u"aaab", u"ab"), 3u);
}

// ------------------------------------------------------------ count text

TEST(CountText, PlainDigitsBelowTenMillionExponentFormAbove) {
  EXPECT_EQ(countText(0), u"0");
  EXPECT_EQ(countText(8), u"8");
  EXPECT_EQ(countText(12345), u"12345");
  EXPECT_EQ(countText(30000), u"30000");
  EXPECT_EQ(countText(9999999), u"9999999");
  EXPECT_EQ(countText(10000000), u"1E+07");
  EXPECT_EQ(countText(12345678), u"1.234568E+07");
  EXPECT_EQ(countText(123456789), u"1.234568E+08");
  EXPECT_EQ(countText(20000000), u"2E+07");
  EXPECT_EQ(countText(15000000), u"1.5E+07");
}

}  // namespace
}  // namespace vantoril
