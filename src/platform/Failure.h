#pragma once
// The one error type of the program: a step that failed, with a message a
// user can act on (UTF-8, in the interface's language, the system's cause
// appended). Event boundaries catch it and report what().
#include <stdexcept>
#include <string>

namespace vantoril {

class Failure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An argument of the program's command line that names nothing the program
// knows (a place, a time of day): the command line ends with exit code 2,
// as for an option it does not know.
class BadArgument : public Failure {
 public:
  using Failure::Failure;
};

// "<what>：<system message for errno>"
[[noreturn]] void failWithErrno(const std::string& what, int error);

}  // namespace vantoril
