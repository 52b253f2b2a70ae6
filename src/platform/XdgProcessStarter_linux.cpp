#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/CommandLine.h"
#include "platform/Failure.h"
#include "platform/Text.h"
#include "platform/XdgProcessStarter.h"

extern char** environ;

namespace vantoril {

namespace {

// Starts `program argument` detached (the started program is never waited
// for). The short-lived middle process reports whether the start worked.
void startDetached(const std::string& program, const std::string& argument) {
  const pid_t middle = ::fork();
  if (middle < 0) failWithErrno("无法启动 " + program, errno);
  if (middle == 0) {
    ::setsid();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(argument.c_str()), nullptr};
    pid_t child = 0;
    const int rc = ::posix_spawnp(&child, program.c_str(), &actions, nullptr, argv, environ);
    ::_exit(rc == 0 ? 0 : (rc & 0xFF));
  }
  int status = 0;
  while (::waitpid(middle, &status, 0) < 0) {
    if (errno != EINTR) failWithErrno("无法启动 " + program, errno);
  }
  if (!WIFEXITED(status)) throw Failure("无法启动 " + program);
  if (const int code = WEXITSTATUS(status); code != 0) failWithErrno("无法启动 " + program, code);
}

}  // namespace

void XdgProcessStarter::start(const std::u16string& commandLine, WindowStyle) {
  for (const auto& thing : commandline::thingsToOpen(commandLine)) startDetached(opener_, toUtf8(thing));
}

}  // namespace vantoril
