// The machine's start signals as the job pages poll them: "TRAYSTAT" (cards lie in the tray)
// and "BUTSTAT" (the start button was pressed), each asked on every tick the page waits for a
// start, when the operator has switched that trigger on.
#pragma once

#include <functional>

#include "JobCommon.h"

class StartTrigger {
 public:
  // The tray reports cards as long as they lie there: after a signal, it must read "off" this
  // many times before another signal counts.
  static constexpr int kTrayDebounce = 5;

  enum class Source { kTray, kButton };
  enum class Result {
    kOk,           // both answered 40 or 41 (or were not asked)
    kTrayError,    // "TRAYSTAT" answered anything else; "BUTSTAT" was not sent
    kButtonError,  // "BUTSTAT" answered anything else
  };

  // `tray_debounce` is the page kind's process-wide counter; it must outlive this object.
  explicit StartTrigger(int& tray_debounce) : tray_debounce_(tray_debounce) {}

  // Which triggers are asked (the operator's "traystart" and "buttonstart").
  void Enable(bool button, bool tray) {
    button_ = button;
    tray_ = tray;
  }

  // One tick's asking: "TRAYSTAT" when the tray is enabled, then "BUTSTAT" when the button is.
  // `on_signal` runs at once for a signal, before the next command is sent: for the tray a 40
  // while the debounce counter is 0 (every 40 sets it back to 5, every 41 counts it down), for
  // the button every 40. Stops at the first error answer. Blocks for the sends.
  Result Poll(const SendCommand& send, const std::function<void(Source)>& on_signal);

 private:
  int& tray_debounce_;
  bool button_ = false;
  bool tray_ = false;
};
