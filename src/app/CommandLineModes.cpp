#include "app/CommandLineModes.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <iostream>

#include "app/Headless.h"
#include "catalogue/NamedPlaces.h"
#include "chart/ChartPage.h"
#include "export/Export.h"
#include "notify/Notifier.h"
#include "overview/Overview.h"
#include "places/PlaceModes.h"
#include "platform/Failure.h"
#include "platform/Text.h"
#include "schedule/Schedule.h"
#include "schedule/ScheduleDialog.h"
#include "vantoril_version.h"

namespace vantoril {

std::string scheduleArgument(const std::string& value) {
  std::string lower = value;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (lower == "off") return lower;
  if (!value.empty()) {
    try {
      schedule::parseTimes(value);
    } catch (const Failure& e) {
      throw BadArgument(std::string("--schedule ") + value + "：" + e.what());
    }
  }
  return value;
}

namespace {

// The arguments as the user wrote them, a blank apart.
std::string joined(const std::vector<std::string>& arguments) {
  std::string text;
  for (const std::string& argument : arguments) text += (text.empty() ? "" : " ") + argument;
  return text;
}

// Runs the mode the parsed options name.
int runMode(const std::function<int()>& mode) {
  try {
    return mode();
  } catch (const BadArgument& e) {
    std::cerr << e.what() << "\n用法：vantoril --help" << std::endl;
    return 2;
  }
}

}  // namespace

int runCommandLine(const std::vector<std::string>& arguments, const std::function<std::string()>& programFolder,
                   const std::function<int()>& openWindow) {
  if (arguments.empty()) return openWindow();

  CLI::App app("Vantoril：把一组地名的实时天气观测记录到数据文件。\n"
               "不带选项时打开窗口；下面每个选项各做一件事，不打开窗口，一次只能用一个。",
               "vantoril");
  app.footer("退出码：0 完成；1 失败（消息写明地名、文件或网址）；2 不认识的选项、地名或时间；"
             "3 定时记录等另一次记录超过 30 分钟，本次放弃。");
  CLI::FormatterBase& format = *app.get_formatter();
  format.label("Usage", "用法");
  format.label("OPTIONS", "选项");
  app.option_defaults()->group("选项");
  app.set_help_flag("-h,--help", "显示本帮助后退出");
  app.set_version_flag("--version", std::string("vantoril ") + VANTORIL_VERSION, "显示版本后退出");

  bool record = false;
  CLI::Option* recordOption =
      app.add_flag("--record", record, "不开窗口记录一次：每个地名一行；只有每个地名都记录了，退出码才是 0");
  bool notifyPerson = false;
  const CLI::Option* notifyOption =
      app.add_flag("--notify", notifyPerson,
                   "与 --record 一起用，定时记录就是这样启动的：有地名没有记录或缺了小时，通过系统的通知服务发一条通知");
  std::vector<std::string> chartPlaces;
  const CLI::Option* chart =
      app.add_option("--chart", chartPlaces,
                     "写出地名的图表页，并显示它的路径；写几个地名时，写出比较它们的一页（比较图表.html）")
          ->expected(1, -1)
          ->type_name("地名…");
  bool overviewPage = false;
  const CLI::Option* overview =
      app.add_flag("--overview", overviewPage,
                   "写出一览页 一览.html（每个地名一行：最新记录、状态、近 30 天、昨天和今天的最高最低气温、"
                   "可疑读数）并显示它的路径");

  // Recording on a schedule.
  std::string scheduleTimes;
  const CLI::Option* schedule =
      app.add_option("--schedule", scheduleTimes,
                     "为当前用户通过系统的定时服务每天在这些时间记录（如 08:00,20:00）；off 停止定时记录；"
                     "不写时间则显示定时记录的状态")
          ->expected(0, 1)
          ->type_name("[时间|off]");

  // The site's place list.
  std::string findText, addText;
  const CLI::Option* find =
      app.add_option("--find", findText, "列出网站上名称、拼音或代码与文字相符的地名")->type_name("文字");
  const CLI::Option* add =
      app.add_option("--add", addText, "添加这个代码的地名，或文字最相符的那一个地名；显示它的名称")
          ->type_name("代码|文字");
  std::vector<std::string> checkPlaces;
  const CLI::Option* check =
      app.add_option("--check", checkPlaces,
                     "像记录时一样下载并检查每个地名（或所写地名）的网页，什么也不写；"
                     "只有没有网页失败或过时，退出码才是 0")
          ->expected(0, -1)
          ->type_name("[地名…]");

  // The record taken out: --export and its --with-gaps, one mode.
  std::vector<std::string> exportArguments, coveragePlaces;
  CLI::Option* exportTable =
      app.add_option("--export", exportArguments,
                     "把这些地名（不写则全部）记录的小时写入文件，.csv 或 .tsv 表格");
  exportTable->expected(1, -1)->type_name("文件 [地名…]");
  bool withGaps = false;
  const CLI::Option* gapsOption =
      app.add_flag("--with-gaps", withGaps, "与 --export 一起用：缺的小时也写出，作为没有数值的行");
  bool daily = false;
  const CLI::Option* dailyOption =
      app.add_flag("--daily", daily, "与 --export 一起用：每个地名每天一行（最高最低、平均、合计）");
  const CLI::Option* coverage =
      app.add_option("--coverage", coveragePlaces, "显示这些地名（不写则全部）记录了和缺了哪些小时")
          ->expected(0, -1)
          ->type_name("[地名…]");

  // CLI11 takes the arguments last first.
  std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ExtrasError&) {
    // What the program does not know, named as the user wrote it.
    std::cerr << "不认识的选项或参数：" << joined(app.remaining()) << "\n用法：vantoril --help" << std::endl;
    return 2;
  } catch (const CLI::ArgumentMismatch& e) {
    // CLI11 words it "--chart: 1 required 地名 missing": said again in Chinese.
    const std::string what = e.what();
    const std::string name = what.substr(0, what.find(':'));
    const CLI::Option* option = name.starts_with("--") ? app.get_option_no_throw(name) : nullptr;
    std::cerr << (option ? name + " 后面缺少" + option->get_type_name() : "选项的值多了或少了：" + joined(arguments))
              << "\n用法：vantoril --help" << std::endl;
    return 2;
  } catch (const CLI::ParseError&) {
    std::cerr << "无法读懂命令行：" << joined(arguments) << "\n用法：vantoril --help" << std::endl;
    return 2;
  }
  // --notify goes with --record, --with-gaps with --export.
  for (const auto& [option, needs] : {std::pair{notifyOption, recordOption}, std::pair{gapsOption, exportTable},
                                  std::pair{dailyOption, exportTable}}) {
    if (option->count() > 0 && needs->count() == 0) {
      std::cerr << option->get_name() << " 只能与 " << needs->get_name() << " 一起用\n用法：vantoril --help"
                << std::endl;
      return 2;
    }
  }
  if (dailyOption->count() > 0 && gapsOption->count() > 0) {
    std::cerr << "--daily 和 --with-gaps 不能一起用\n用法：vantoril --help" << std::endl;
    return 2;
  }
  // One mode at a time; --notify goes with --record, --with-gaps and --daily with --export.
  std::vector<const CLI::Option*> given;
  for (const CLI::Option* option : app.get_options())
    if (option != notifyOption && option != gapsOption && option != dailyOption && option->count() > 0)
      given.push_back(option);
  if (given.size() > 1) {
    std::string names;
    for (const CLI::Option* option : given) names += (names.empty() ? "" : "、") + option->get_name();
    std::cerr << "一次只能用一个选项：" << names << "\n用法：vantoril --help" << std::endl;
    return 2;
  }

  return runMode([&] {
    if (record) {
      const std::string folder = programFolder();
      const auto ended = [&folder](int exitCode) { endAfter(folder, exitCode, kLongestEnd); };
      if (!notifyPerson) return recordHeadless(folder, nullptr, ended);
      const auto notifier = notify::makeNotifier();
      return recordHeadless(folder, notifier.get(), ended);
    }
    if (chart->count() > 0) {
      const std::string folder = programFolder();
      catalogue::requireNamedPlaces(folder, chartPlaces, catalogue::PlaceNeed::ListedOrRecorded);
      if (chartPlaces.size() == 1) {
        std::cout << chart::writePage(folder, fileNameText(chartPlaces[0])) << std::endl;
        return 0;
      }
      std::vector<std::u16string> places;
      for (const std::string& p : chartPlaces) places.push_back(fileNameText(p));
      std::cout << overview::writeComparePage(folder, places) << std::endl;
      return 0;
    }
    if (overview->count() > 0) {
      std::cout << overview::writeOverview(programFolder(), std::chrono::system_clock::now()) << std::endl;
      return 0;
    }
    if (schedule->count() > 0) {
      const std::string value = scheduleArgument(scheduleTimes);
      return schedule::runScheduleMode(programFolder(), value);
    }
    if (find->count() > 0) return places::findMode(findText, std::cout, std::cerr);
    if (add->count() > 0) return places::addMode(programFolder(), addText, std::cout, std::cerr);
    if (check->count() > 0) {
      // CLI11 gives an option that takes no value one empty value.
      std::erase(checkPlaces, std::string());
      const std::string folder = programFolder();
      catalogue::requireNamedPlaces(folder, checkPlaces, catalogue::PlaceNeed::Listed);
      return places::checkMode(folder, checkPlaces, std::cout, std::cerr);
    }
    if (exportTable->count() > 0) {
      const std::vector<std::string> places(exportArguments.begin() + 1, exportArguments.end());
      if (!places.empty())
        catalogue::requireNamedPlaces(programFolder(), places, catalogue::PlaceNeed::ListedOrRecorded);
      return exporting::exportMode(programFolder, exportArguments[0], places, {withGaps, daily}, std::cout, std::cerr);
    }
    if (coverage->count() > 0) {
      std::erase(coveragePlaces, std::string());
      const std::string folder = programFolder();
      catalogue::requireNamedPlaces(folder, coveragePlaces, catalogue::PlaceNeed::ListedOrRecorded);
      return exporting::coverageMode(folder, coveragePlaces, std::cout, std::cerr);
    }
    return 2;
  });
}

}  // namespace vantoril
