#include "app/Headless.h"

#include <iostream>

#include "app/ConsoleServices.h"
#include "app/Form1.h"
#include "platform/PlatformServices.h"
#include "platform/Text.h"

namespace vantoril {

namespace {

class PrintingObserver final : public RunObserver {
 public:
  void placeRecorded(const std::u16string& place, const std::u16string& time) override {
    std::cout << toUtf8(place) << '\t' << toUtf8(time) << std::endl;
    ++recorded;
  }
  void placeSkipped(const std::u16string& place, const std::string& why) override {
    std::cout << toUtf8(place) << "\t跳过：" << why << std::endl;
  }
  void placeFailed(const std::u16string& place, const std::string& cause) override {
    std::cout << toUtf8(place) << "\t错误：" << cause << std::endl;
  }
  int recorded = 0;
};

}  // namespace

int recordHeadless(const std::string& programFolder) {
  const auto downloader = makeDownloader();
  const auto starter = makeProcessStarter();
  NoInput input;
  StderrReport report;
  PrintingObserver observer;
  Form1 form(programFolder, {*downloader, *starter, input, report, &observer});
  if (!form.load()) return 1;
  const bool ran = form.click(form.Command1);
  return ran && observer.recorded == form.List1.entryCount() ? 0 : 1;
}

}  // namespace vantoril
