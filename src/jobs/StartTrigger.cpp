#include "StartTrigger.h"

#include "MachineStatus.h"

StartTrigger::Result StartTrigger::Poll(const SendCommand& send,
                                        const std::function<void(Source)>& on_signal) {
  std::string reply;
  if (tray_) {
    const int code = send("TRAYSTAT", reply);
    if (code == machine_status::kYes) {
      const bool signal = tray_debounce_ == 0;
      tray_debounce_ = kTrayDebounce;
      if (signal) {
        on_signal(Source::kTray);
      }
    } else if (code == machine_status::kNo) {
      if (tray_debounce_ > 0) {
        --tray_debounce_;
      }
    } else {
      return Result::kTrayError;
    }
  }
  if (button_) {
    const int code = send("BUTSTAT", reply);
    if (code == machine_status::kYes) {
      on_signal(Source::kButton);
    } else if (code != machine_status::kNo) {
      return Result::kButtonError;
    }
  }
  return Result::kOk;
}
