// Fuzz target: the splitting of browser command lines and the reading of
// what a command line opens, on any text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "Check.h"
#include "platform/CommandLine.h"
#include "platform/Failure.h"
#include "platform/Text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantoril;
  const std::u16string text = fromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));

  // Splitting only drops characters: never more text out than in.
  std::size_t total = 0;
  for (const auto& argument : commandline::splitArguments(text)) total += argument.size();
  CHECK(total <= text.size());

  const std::u16string browserLine = std::u16string(commandline::kBrowserPath) + u' ' + text;
  const std::u16string handlerLine = std::u16string(commandline::kProtocolHandlerPrefix) + text;
  for (const std::u16string* line : {&text, &browserLine, &handlerLine}) {
    try {
      for (const auto& thing : commandline::thingsToOpen(*line)) {
        CHECK(thing.size() <= line->size());
      }
    } catch (const Failure& f) {
      CHECK(*f.what() != '\0');
    }
  }
  return 0;
}
