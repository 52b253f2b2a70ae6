// Desktop notifications through libnotify, which speaks to
// org.freedesktop.Notifications on the user's session bus. The library is
// loaded only when a notification is shown, so a run that has nothing to
// say loads nothing more than before.
#include <dlfcn.h>
#include <libnotify/notify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "notify/Notifier.h"
#include "platform/Failure.h"

namespace vantoril::notify {

namespace {

constexpr const char* kLibrary = "libnotify.so.4";

// A program started by cron has no bus address in its environment; the
// user's bus, when a session runs, is the socket "bus" in the user's
// runtime folder.
void findSessionBus() {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (address && *address) return;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const std::string folder = runtime && *runtime ? runtime : "/run/user/" + std::to_string(::getuid());
  const std::string bus = folder + "/bus";
  struct stat s {};
  if (::stat(bus.c_str(), &s) != 0 || !S_ISSOCK(s.st_mode))
    throw Failure("没有会话总线：DBUS_SESSION_BUS_ADDRESS 没有设置，也没有 " + bus + "（用户没有登录？）");
  ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + bus).c_str(), 1);
}

template <class F>
F symbol(void* library, const char* name) {
  void* found = ::dlsym(library, name);
  if (!found) throw Failure(std::string(kLibrary) + " 没有 " + name);
  return reinterpret_cast<F>(found);
}

class LibnotifyNotifier final : public Notifier {
 public:
  void show(const Notification& notification) override {
    void* library = ::dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
      const char* why = ::dlerror();
      throw Failure(std::string("无法加载 ") + kLibrary + "（" + (why ? why : "") + "）");
    }
    // Kept loaded: GLib's types, once registered, cannot be unloaded.
    const auto init = symbol<decltype(&notify_init)>(library, "notify_init");
    const auto make = symbol<decltype(&notify_notification_new)>(library, "notify_notification_new");
    const auto urgency = symbol<decltype(&notify_notification_set_urgency)>(library, "notify_notification_set_urgency");
    const auto timeout = symbol<decltype(&notify_notification_set_timeout)>(library, "notify_notification_set_timeout");
    const auto post = symbol<decltype(&notify_notification_show)>(library, "notify_notification_show");
    const auto unref = symbol<decltype(&g_object_unref)>(library, "g_object_unref");
    const auto freeError = symbol<decltype(&g_error_free)>(library, "g_error_free");
    const auto uninit = symbol<decltype(&notify_uninit)>(library, "notify_uninit");
    const auto caps = symbol<decltype(&notify_get_server_caps)>(library, "notify_get_server_caps");
    const auto escape = symbol<decltype(&g_markup_escape_text)>(library, "g_markup_escape_text");
    const auto freeList = symbol<decltype(&g_list_free_full)>(library, "g_list_free_full");
    const auto freeText = symbol<decltype(&g_free)>(library, "g_free");

    findSessionBus();
    if (!init("Vantoril")) throw Failure("notify_init 失败");
    // A server that reads the body as markup would take a '&' or '<' of an
    // address or a place for markup.
    bool markup = false;
    GList* said = caps();
    for (GList* cap = said; cap; cap = cap->next)
      markup = markup || std::string_view(static_cast<const char*>(cap->data)) == "body-markup";
    freeList(said, freeText);
    std::string body = notification.body;
    if (markup) {
      gchar* escaped = escape(body.c_str(), -1);
      body = escaped;
      freeText(escaped);
    }
    NotifyNotification* shown = make(notification.title.c_str(), body.c_str(), "dialog-warning");
    // Hours are lost unless somebody acts: it stays until it is closed.
    urgency(shown, NOTIFY_URGENCY_CRITICAL);
    timeout(shown, NOTIFY_EXPIRES_NEVER);
    GError* error = nullptr;
    const bool posted = post(shown, &error);
    unref(shown);
    uninit();
    if (!posted) {
      const std::string why = error && error->message ? error->message : "原因不明";
      if (error) freeError(error);
      throw Failure(why);
    }
  }
};

}  // namespace

std::unique_ptr<Notifier> makeNotifier() { return std::make_unique<LibnotifyNotifier>(); }

}  // namespace vantoril::notify
