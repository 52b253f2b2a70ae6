#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "platform/CommandLine.h"
#include "platform/Failure.h"
#include "platform/Text.h"
#include "platform/XdgProcessStarter.h"

extern char** environ;

namespace vantoril {

namespace {

// Starts `program argument` and returns at once; a detached thread reaps
// the started program when it ends, so no zombie stays behind. posix_spawn
// reports a program that cannot be started.
void startDetached(const std::string& program, const std::string& argument) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(argument.c_str()), nullptr};
  pid_t child = 0;
  const int rc = ::posix_spawnp(&child, program.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) failWithErrno("无法启动 " + program + " 来打开 " + argument, rc);
  std::thread([child] {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
}

}  // namespace

void XdgProcessStarter::start(const std::u16string& commandLine, WindowStyle) {
  const auto things = commandline::thingsToOpen(commandLine);
  if (things.empty()) throw Failure("没有要打开的网址：命令行 “" + toUtf8(commandLine) + "” 里只有浏览器");
  for (const auto& thing : things) startDetached(opener_, fileNameBytes(thing));
}

}  // namespace vantoril
