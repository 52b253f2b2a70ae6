// A UTF-8 page handed over as its bytes is searched in its bytes and decoded
// only as far as the run reads it. Every case runs one place twice, once
// from the page decoded whole and once from its bytes, and both runs must
// leave the same boxes, the same data file and the same messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "../support/Fakes.h"
#include "../support/SampleData.h"
#include "platform/Cp936.h"
#include "platform/CurlDownloader.h"
#include "platform/PageText.h"
#include "platform/Text.h"

namespace vantoril {
namespace {

using test::TempFolder;

// One page at one address. The whole text is decode()'s; with `handBytes`
// the page comes as receive() gives it, as the libcurl downloader hands it.
class PageDownloader final : public Downloader {
 public:
  PageDownloader(std::string bytes, std::string contentType, bool handBytes)
      : bytes_(std::move(bytes)), contentType_(std::move(contentType)), handBytes_(handBytes) {}
  std::u16string download(const std::u16string&) override { return page::decode(bytes_, contentType_); }
  page::Fetched collectPage(Ticket ticket, const std::function<void()>& whileWaiting) override {
    if (!handBytes_) return Downloader::collectPage(ticket, whileWaiting);
    (void)Downloader::collect(ticket, whileWaiting);  // the ticket's bookkeeping
    page::Fetched fetched = page::receive(bytes_, contentType_);
    keptBytes = fetched.utf8;
    return fetched;
  }
  bool keptBytes = false;

 private:
  std::string bytes_, contentType_;
  bool handBytes_;
};

class Messages final : public RunObserver {
 public:
  std::vector<std::string> lines;
  void placeRecorded(const std::u16string& place, const std::u16string& time) override {
    lines.push_back("recorded " + toUtf8(place) + " " + toUtf8(time));
  }
  void placeFailed(const std::u16string& place, const std::string& cause) override {
    lines.push_back("failed " + toUtf8(place) + " " + cause);
  }
};

// Everything a run leaves behind that a user or a file sees.
struct Outcome {
  std::vector<std::u16string> boxes;  // Text1 to Text15, Label5
  std::string dataFile;
  std::vector<std::string> messages;
  std::vector<std::string> reports;
  bool keptBytes = false;
};

Outcome recordOnePlace(const std::string& bytes, const std::string& contentType, bool handBytes) {
  Messages messages;
  TempFolder folder;
  PageDownloader downloader(bytes, contentType, handBytes);
  test::RecordingStarter starter;
  test::ScriptedInput input;
  test::CollectingReport report;
  Form1 form(folder.path(), Form1Services{downloader, starter, input, report, &messages});
  test::writeGbk(folder / "WebSite/杭州.txt", u"http://www.weather.com.cn/weather1d/101210101.shtml\r\n");
  std::filesystem::create_directories(test::fsPath(folder / "WeatherData"));
  EXPECT_TRUE(form.load());
  form.click(form.Command1);
  Outcome outcome;
  for (const TextBox* box : {&form.Text1, &form.Text2, &form.Text3, &form.Text4, &form.Text5, &form.Text6,
                             &form.Text7, &form.Text8, &form.Text9, &form.Text10, &form.Text11, &form.Text12,
                             &form.Text13, &form.Text14, &form.Text15})
    outcome.boxes.push_back(box->text());
  outcome.boxes.push_back(form.Label5.caption());  // Text1's length
  const std::string data = folder / "WeatherData/杭州-WeatherData.xls";
  if (fileExists(data)) outcome.dataFile = test::readBytes(data);
  outcome.messages = messages.lines;
  outcome.reports = report.messages;
  outcome.keptBytes = downloader.keptBytes;
  return outcome;
}

struct PageCase {
  std::string name;
  std::string bytes;
  std::string contentType;
  bool utf8;      // the page is kept as bytes
  bool recorded;  // the place gets a record
};

// The one comparison: the run from the page's bytes against the run from its
// whole text.
void expectSameRun(const PageCase& c) {
  SCOPED_TRACE(c.name);
  const Outcome whole = recordOnePlace(c.bytes, c.contentType, false);
  const Outcome bytes = recordOnePlace(c.bytes, c.contentType, true);
  EXPECT_EQ(bytes.keptBytes, c.utf8);
  ASSERT_EQ(whole.boxes.size(), bytes.boxes.size());
  for (std::size_t i = 0; i < whole.boxes.size(); ++i)
    EXPECT_TRUE(whole.boxes[i] == bytes.boxes[i]) << "box " << i + 1 << " differs";
  EXPECT_TRUE(whole.dataFile == bytes.dataFile) << "the data files differ";
  EXPECT_EQ(whole.messages, bytes.messages);
  EXPECT_EQ(whole.reports, bytes.reports);
  EXPECT_EQ(!whole.dataFile.empty(), c.recorded) << (whole.messages.empty() ? "" : whole.messages[0]);
}

std::string sample(const std::string& name) { return test::sampleData(name + ".html"); }
std::string demo(const std::string& name) {
  return readWholeFile(std::string(VANTORIL_TEST_DATA) + "/../../demo/pages/" + name + ".html");
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

std::size_t at(const std::string& page, const std::string& what) {
  const std::size_t found = page.find(what);
  if (found == std::string::npos) throw std::logic_error("no " + what + " in the page");
  return found;
}

// The newer layout: temperature, precipitation and humidity as bare numbers.
std::string bareNumbers(std::string page) {
  const std::size_t from = at(page, "observe24h_data"), to = at(page, "weatherChart");
  std::string block = page.substr(from, to - from);
  for (const char* key : {"\"od22\":\"", "\"od26\":\"", "\"od27\":\""}) {
    for (std::size_t k = block.find(key); k != std::string::npos; k = block.find(key, k + 1)) {
      const std::size_t open = k + 7, close = block.find('"', open + 1);
      block.erase(close, 1);
      block.erase(open, 1);
    }
  }
  return page.replace(from, to - from, block);
}

std::string insertBefore(std::string page, const std::string& where, const std::string& text) {
  return page.insert(at(page, where), text);
}

// Bytes that are not UTF-8, each a different way: a cut three-byte
// sequence, a byte that never starts one, an overlong form, a surrogate, a
// lone continuation byte and a cut four-byte sequence.
const std::string brokenUtf8 = "\xE4\xB8 \xFF \xC0\xAF \xE0\x80\xAF \xED\xA0\x80 \x80 \xF0\x9F\x98";
const std::string astral = "\xF0\x9F\x98\x80";  // U+1F600, two UTF-16 units

std::vector<PageCase> pageCases() {
  const std::string hangzhou = sample("hangzhou-2014"), harbin = sample("harbin-2016");
  std::vector<PageCase> cases = {
      {"2014 layout", hangzhou, "", true, true},
      {"2016 layout", harbin, "", true, true},
      {"2016 layout, second chart", demo("beijing"), "", true, true},
      {"2020 layout", demo("guangzhou"), "", true, true},
      {"2020 layout, long values", demo("harbin"), "text/html; charset=UTF-8", true, true},
      {"bare numbers", bareNumbers(harbin), "", true, true},
      {"GBK by its meta tag", cp936::encode(fromUtf8(replaceAll(replaceAll(hangzhou, "utf-8", "gbk"), "UTF-8", "gbk"))),
       "", false, true},
      {"GBK by its header", cp936::encode(fromUtf8(hangzhou)), "text/html; charset=GBK", false, true},
      {"UTF-8 by its header over a GBK meta tag", replaceAll(hangzhou, "utf-8", "gbk"), "text/html; charset=utf-8",
       true, true},
      {"unknown charset", hangzhou, "text/html; charset=x-nothing-known", false, true},
      {"non-ASCII before and inside the block",
       insertBefore(replaceAll(insertBefore(harbin, "observe24h_data", astral + brokenUtf8 + "北京"), "\"od1\":\"",
                               "\"od1\":\"" + astral + brokenUtf8),
                    "weatherChart", "降水" + brokenUtf8),
       "", true, true},
      {"a value GBK cannot hold", replaceAll(harbin, "\"od27\":\"6", "\"od27\":\"" + astral + "6"), "", true,
       false},
      {"broken UTF-8 right before the start marker", insertBefore(harbin, "observe24h_data", "\xE4\xB8"), "", true,
       true},
      {"page ends with the end marker", harbin.substr(0, at(harbin, "weatherChart") + 12), "", true, true},
      {"page ends one character after the end marker", harbin.substr(0, at(harbin, "weatherChart") + 13), "", true,
       true},
      {"an astral character cut in two by the block's end",
       harbin.substr(0, at(harbin, "weatherChart") + 12) + "\"" + astral + "\">", "", true, true},
      {"a cut character after the end marker", harbin.substr(0, at(harbin, "weatherChart") + 12) + "\xE4\xB8", "",
       true, true},
      {"page ends inside the block", harbin.substr(0, at(harbin, "weatherChart") - 300), "", true, false},
      {"no start marker", replaceAll(harbin, "observe24h_data", "observe24h-data"), "", true, false},
      {"end marker long before the start marker", insertBefore(harbin, "<body", "weatherChart"), "", true, false},
      {"end marker just before the start marker", insertBefore(harbin, "observe24h_data", "weatherChart汉"), "", true,
       false},
      {"empty page", "", "", true, false},
  };
  // Text1 holds 30000 characters: the 30000th the first half of an astral
  // character, with Chinese and broken bytes before it.
  std::string cut = "\n" + brokenUtf8;
  const std::size_t before = utf16Length(cut);
  cut += std::string(29999 - before - 3 * 100, 'x');
  for (int i = 0; i < 100; ++i) cut += "气";
  cut += astral + "\n" + harbin.substr(at(harbin, "<div class=\"left-div\">"));
  cases.push_back({"Text1 ends inside an astral character", cut, "", true, true});
  return cases;
}

TEST(PageBytes, ARunFromAUtf8PagesBytesLeavesWhatARunFromItsWholeTextLeaves) {
  for (const PageCase& c : pageCases()) expectSameRun(c);
}

TEST(PageBytes, TheSamplePagesAreSearchedPastWhatText1Holds) {
  // The cases above would pass vacuously if the run never got past Text1.
  for (const char* name : {"hangzhou-2014", "harbin-2016"}) {
    const std::string page = sample(name);
    ASSERT_GT(utf16Length(page.substr(0, at(page, "observe24h_data"))), 30000u) << name;
    const Outcome bytes = recordOnePlace(page, "", true);
    EXPECT_EQ(bytes.boxes[0].size(), 30000u);
    EXPECT_TRUE(bytes.boxes[4].starts_with(u"observe24h_data")) << name;
    EXPECT_FALSE(bytes.dataFile.empty()) << name;
  }
}

// The libcurl downloader on local files: a UTF-8 page comes as its bytes,
// exactly as the file holds them, whatever page came before on the same
// transfer; a GBK page comes decoded; both as download() would decode them.
TEST(PageBytes, TheCurlDownloaderHandsAUtf8PageOverAsItsBytesAndAnyOtherDecoded) {
  TempFolder folder;
  const std::string big = sample("harbin-2016"), small = "<meta charset=\"utf-8\">晴 observe24h_data",
                    gbk = cp936::encode(u"<meta charset=\"gbk\"><p>北京 晴转多云</p>");
  struct File {
    std::string name, bytes;
    bool utf8;
  };
  const File files[] = {{"big.html", big, true},  {"small.html", small, true}, {"gbk.html", gbk, false},
                        {"big2.html", big, true}, {"empty.html", "", true},    {"small2.html", small, true}};
  CurlDownloader downloader;
  for (const File& f : files) {
    SCOPED_TRACE(f.name);
    writeWholeFile(folder / f.name, f.bytes);
    const std::u16string address = fromUtf8("file://" + folder / f.name);
    const page::Fetched page = downloader.collectPage(downloader.fetchAhead(address), nullptr);
    EXPECT_EQ(page.utf8, f.utf8);
    if (f.utf8) {
      EXPECT_TRUE(page.bytes == f.bytes);
    }
    EXPECT_TRUE(page::wholeText(page) == downloader.download(address));
    EXPECT_TRUE(page::wholeText(page) == page::decode(f.bytes, {}));
  }
}

// The partial decoders against the whole one, on bytes of every kind.
TEST(PageBytes, PartialDecodingGivesTheWholeDecodingsFirstUnitsAndLength) {
  const std::vector<std::string> texts = {
      "",
      "observe24h_data",
      "天气预报 weatherChart",
      astral + astral + "x",
      brokenUtf8,
      brokenUtf8 + astral + "晴",
      std::string(40, 'a') + "汉字汉字汉字" + std::string(17, 'b') + astral + "\xE4\xB8",
      "\xF4\x90\x80\x80 \xF0\x80\x80\x80 \xEF\xBF\xBF \xC2\x80",
  };
  for (const std::string& bytes : texts) {
    const std::u16string whole = fromUtf8(bytes);
    EXPECT_EQ(utf16Length(bytes), whole.size()) << bytes;
    for (std::size_t n = 0; n <= whole.size() + 2; ++n) {
      Utf8Read read;
      EXPECT_TRUE(fromUtf8(bytes, n, &read) == whole.substr(0, n)) << bytes << " cut to " << n;
      // Where the decoding stopped, the rest decodes on as the whole text goes on.
      EXPECT_GE(read.units, std::min(n, whole.size()));
      EXPECT_TRUE(whole.substr(0, read.units) + fromUtf8(std::string_view(bytes).substr(read.bytes)) == whole)
          << bytes << " cut to " << n;
    }
  }
}

}  // namespace
}  // namespace vantoril
