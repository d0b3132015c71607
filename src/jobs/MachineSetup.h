// The command lines the job pages send when they are shown: the machine's own start triggers
// off (the pages poll the button and the tray and decide themselves when to start), whether it
// stops at a stop card, and which barcode its cards carry.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>

#include "JobCommon.h"

// Sends "BUTTONSTART OFF", then "TRAYSTART OFF"; `on_failure` runs right after each one that is
// not answered 0. Either way both are sent. Blocks for the sends.
void SwitchOffMachineTriggers(const SendCommand& send, const std::function<void()>& on_failure);

// "STOPCARD ON" when `stopcard` is non-zero, else "STOPCARD OFF". A static text, not owned.
const char* StopCardCommand(int stopcard);
// "BARCODE 5BAR" when `card_barcode` is non-zero, else "BARCODE 7BAR". A static text, not owned.
const char* BarcodeCommand(int card_barcode);

// What a show's settings came to: `refused` is the first command not answered 0 (nullptr when
// all were taken), `text` what the status line then says: the command, the code's words, and
// that a start tries again.
struct SetupResult {
  const char* refused = nullptr;
  std::string text;
};
// Sends the settings in order and stops at the first the machine does not take. Blocks for the
// sends.
SetupResult SendSettings(const SendCommand& send, std::initializer_list<const char*> commands);
