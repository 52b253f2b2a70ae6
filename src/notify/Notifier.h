#pragma once
// The system's own notification service: a desktop notification on Linux
// (org.freedesktop.Notifications on the user's session bus), a
// notification-area balloon on Windows (a toast on Windows 10 and 11).
#include <memory>

#include "notify/RunNews.h"

namespace vantoril::notify {

class Notifier {
 public:
  virtual ~Notifier() = default;
  // Shows `notification` and returns once the system has it; throws
  // Failure with the cause when it cannot be shown.
  virtual void show(const Notification& notification) = 0;
};

// The platform's notifier (Notifier_linux.cpp, Notifier_win32.cpp). It
// loads what it needs only when a notification is shown.
std::unique_ptr<Notifier> makeNotifier();

}  // namespace vantoril::notify
