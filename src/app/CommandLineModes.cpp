#include "app/CommandLineModes.h"

#include <CLI/CLI.hpp>
#include <iostream>

#include "app/Headless.h"
#include "chart/ChartPage.h"
#include "export/Export.h"
#include "notify/Notifier.h"
#include "places/PlaceModes.h"
#include "platform/Text.h"
#include "schedule/ScheduleDialog.h"
#include "vantoril_version.h"

namespace vantoril {

int runCommandLine(const std::vector<std::string>& arguments, const std::function<std::string()>& programFolder,
                   const std::function<int()>& openWindow) {
  if (arguments.empty()) return openWindow();

  CLI::App app("Vantoril: records live weather observations for a list of places.\n"
               "Without options it opens its window.",
               "vantoril");
  // One mode at a time; --notify goes with --record alone.
  app.require_option(1, 2);

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
  std::string chartPlace;
  const CLI::Option* chart =
      app.add_option("--chart", chartPlace, "write the chart page of PLACE and print its path")->type_name("PLACE");

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
  bool check = false;
  app.add_flag("--check", check,
               "download every place's page and check it as a run would, writing nothing; "
               "exit code 0 only when no page failed or is stale");

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
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return 2;
  }
  std::size_t modes = 0;
  for (const CLI::Option* option : app.get_options())
    modes += option != notifyOption && option->count() > 0 ? 1 : 0;
  if (modes > 1) {
    std::cerr << "one mode at a time (--notify goes with --record)\nRun with --help for more information.\n";
    return 2;
  }

  if (record) {
    if (!notifyPerson) return recordHeadless(programFolder());
    const auto notifier = notify::makeNotifier();
    return recordHeadless(programFolder(), notifier.get());
  }
  if (chart->count() > 0) {
    std::cout << chart::writePage(programFolder(), fileNameText(chartPlace)) << std::endl;
    return 0;
  }
  if (schedule->count() > 0) return schedule::runScheduleMode(programFolder(), scheduleTimes);
  if (find->count() > 0) return places::findMode(findText, std::cout, std::cerr);
  if (add->count() > 0) return places::addMode(programFolder(), addText, std::cout, std::cerr);
  if (check) return places::checkMode(programFolder(), std::cout, std::cerr);
  if (exportTable->count() > 0)
    return exporting::exportMode(programFolder, exportArguments[0],
                                 {exportArguments.begin() + 1, exportArguments.end()}, {withGaps}, std::cout, std::cerr);
  if (coverage->count() > 0) return exporting::coverageMode(programFolder(), coveragePlaces, std::cout, std::cerr);
  return 2;
}

}  // namespace vantoril
