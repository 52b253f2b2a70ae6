#pragma once
// A program folder holding a copy of the real program and a catalogue, and
// the program run from it in a mode of its command line.
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "Fakes.h"

namespace vantoril::test {

struct ProgramFolder {
  TempFolder folder;
  std::string program = folder / "vantoril";
  ProgramFolder() {
    std::filesystem::copy_file(VANTORIL_PROGRAM, program);
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);
  }
  void place(const std::string& name, const std::string& address) {
    writeGbk(folder / ("WebSite/" + name + ".txt"), fromUtf8(address + "\r\n"));
  }
  std::string dataFile(const std::string& name) const { return folder / ("WeatherData/" + name + "-WeatherData.xls"); }

  struct Result {
    int exitCode = -1;
    std::vector<std::string> out;  // stdout's lines
    std::string err;
  };
  // Runs the program with `arguments` (shell words) from another current
  // folder, so only the program's own folder can lead it to the catalogue;
  // through `wrapper` (shell words) when one is given.
  Result run(const std::string& arguments, const std::string& wrapper = "") const {
    const std::string command = "cd / && " + wrapper + " '" + program + "' " + arguments + " >'" + (folder / "out.txt") + "' 2>'" +
                                (folder / "err.txt") + "' </dev/null";
    const int status = std::system(command.c_str());
    Result r;
    if (WIFEXITED(status)) r.exitCode = WEXITSTATUS(status);
    r.out = linesOf(readBytes(folder / "out.txt"));
    r.err = readBytes(folder / "err.txt");
    return r;
  }
  Result record() const { return run("--record"); }
};

}  // namespace vantoril::test
