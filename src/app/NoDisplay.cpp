#include "app/NoDisplay.h"

namespace vantoril {

namespace {

bool named(const char* value) { return value != nullptr && *value != '\0'; }

std::string variableText(const char* name, const char* value) {
  return named(value) ? std::string(name) + "=" + value + " 连接不上" : std::string(name) + " 没有设置";
}

}  // namespace

bool displayNamed(const char* display, const char* waylandDisplay, const char* qtPlatform) {
  return named(display) || named(waylandDisplay) || named(qtPlatform);
}

std::string noDisplayText(const char* display, const char* waylandDisplay) {
  return "无法打开窗口：没有可用的图形显示（" + variableText("DISPLAY", display) + "，" +
         variableText("WAYLAND_DISPLAY", waylandDisplay) +
         "）。\n"
         "没有窗口也可以记录：vantoril --record\n"
         "其他用法：vantoril --help\n";
}

}  // namespace vantoril
