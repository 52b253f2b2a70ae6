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

  CLI::App app("Vantoril: records live weather observations for a list of places.\n"
               "Without an option it opens its window; each option below does its work without the window.",
               "vantoril");
  app.footer("Exit codes: 0 done, 1 failed, 2 an option, place or time the program does not know.");

  app.set_version_flag("--version", std::string("vantoril ") + VANTORIL_VERSION, "print the version and exit");

  bool record = false;
  CLI::Option* recordOption = app.add_flag("--record", record,
                                           "start-up and one recording run without a window: one line per place; "
                                           "exit code 0 only when every place was recorded");
  bool notifyPerson = false;
  const CLI::Option* notifyOption =
      app.add_flag("--notify", notifyPerson,
                   "with --record, as the schedule starts it: when a place was not recorded or hours are lost, "
                   "one notification through the system's notification service")
          ->needs(recordOption);
  std::vector<std::string> chartPlaces;
  const CLI::Option* chart =
      app.add_option("--chart", chartPlaces,
                     "write the chart page of PLACE and print its path; of several places, one page comparing them "
                     "(比较图表.html)")
          ->expected(1, -1)
          ->type_name("PLACE...");
  bool overviewPage = false;
  const CLI::Option* overview =
      app.add_flag("--overview", overviewPage,
                   "写出一览页 一览.html（每个地名一行：最新记录、状态、近 30 天、昨天和今天的最高最低气温、"
                   "可疑读数）并打印它的路径");

  // Recording on a schedule.
  std::string scheduleTimes;
  const CLI::Option* schedule =
      app.add_option("--schedule", scheduleTimes,
                     "record every day at TIMES (e.g. 08:00,20:00) through the system's scheduler, for this "
                     "user; \"off\" stops it; without TIMES prints the schedule's state")
          ->expected(0, 1)
          ->type_name("[TIMES|off]");

  // The site's place list.
  std::string findText, addText;
  const CLI::Option* find =
      app.add_option("--find", findText, "list the places of the site whose name, pinyin or code match TEXT")
          ->type_name("TEXT");
  const CLI::Option* add =
      app.add_option("--add", addText, "add the place with CODE, or the one place TEXT names best; print its name")
          ->type_name("CODE|TEXT");
  std::vector<std::string> checkPlaces;
  const CLI::Option* check =
      app.add_option("--check", checkPlaces,
                     "download the page of every place (or of the PLACEs) and check it as a run would, writing "
                     "nothing; exit code 0 only when no page failed or is stale")
          ->expected(0, -1)
          ->type_name("[PLACE...]");

  // The record taken out: --export and its --with-gaps, one group, one mode.
  CLI::Option_group* exporting = app.add_option_group("export");
  std::vector<std::string> exportArguments, coveragePlaces;
  CLI::Option* exportTable = exporting->add_option("--export", exportArguments,
                                                    "write the hours recorded of the PLACEs (all when none) to FILE, "
                                                    "a .csv or .tsv table");
  exportTable->expected(1, -1)->type_name("FILE [PLACE...]");
  bool withGaps = false;
  exporting->add_flag("--with-gaps", withGaps, "with --export: the missing hours too, as rows without values")
      ->needs(exportTable);
  bool daily = false;
  exporting->add_flag("--daily", daily, "with --export: one row per place and day (extremes, means, totals)")
      ->needs(exportTable)
      ->excludes("--with-gaps");
  const CLI::Option* coverage =
      app.add_option("--coverage", coveragePlaces, "print the hours recorded and missing of the PLACEs (all when none)")
          ->expected(0, -1)
          ->type_name("[PLACE...]");

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
    std::string unknown;
    for (const std::string& argument : app.remaining()) unknown += (unknown.empty() ? "" : " ") + argument;
    std::cerr << "不认识的选项或参数：" << unknown << "\n用法：vantoril --help" << std::endl;
    return 2;
  } catch (const CLI::ParseError& e) {
    std::cerr << e.what() << "\n用法：vantoril --help" << std::endl;
    return 2;
  }
  // One mode at a time; --notify goes with --record, --with-gaps and --daily with --export.
  std::vector<const CLI::Option*> given;
  for (const CLI::Option* option : app.get_options())
    if (option != notifyOption && option->count() > 0) given.push_back(option);
  if (exportTable->count() > 0) given.push_back(exportTable);
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
