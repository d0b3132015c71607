#include "MachineSetup.h"

#include "MachineStatus.h"

namespace {

std::string SetupRefusedText(const char* command, int code) {
  const char* words = machine_status::StatusText(code);
  return std::string("The machine did not take \"") + command + "\" (" +
         (words != nullptr ? words : "status " + std::to_string(code)) +
         "): press Start to try again";
}

}  // namespace

void SwitchOffMachineTriggers(const SendCommand& send, const std::function<void()>& on_failure) {
  std::string reply;
  for (const char* command : {"BUTTONSTART OFF", "TRAYSTART OFF"}) {
    if (send(command, reply) != machine_status::kOk) {
      on_failure();
    }
  }
}

const char* StopCardCommand(int stopcard) {
  return stopcard != 0 ? "STOPCARD ON" : "STOPCARD OFF";
}

const char* BarcodeCommand(int card_barcode) {
  return card_barcode != 0 ? "BARCODE 5BAR" : "BARCODE 7BAR";
}

SetupResult SendSettings(const SendCommand& send, std::initializer_list<const char*> commands) {
  SetupResult result;
  std::string reply;
  for (const char* command : commands) {
    const int code = send(command, reply);
    if (code != machine_status::kOk) {
      result.refused = command;
      result.text = SetupRefusedText(command, code);
      break;
    }
  }
  return result;
}
