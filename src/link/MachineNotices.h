// What the device search could not do with a machine that is there: open a node it has no
// permission for, or take a machine another program holds. Each is written to the log once per
// plug-in (until the node leaves the device listing or opens), and the texts stay available for
// tools that show them (quadrelle-cmd prints them when it finds no machine).
#pragma once

#include <string>
#include <vector>

#include "platform/DeviceHandle.h"

namespace machine_notices {

// The operator's texts, with the node's path for %s.
constexpr char kNoPermission[] =
    "No permission to open %s: install the udev rule 70-quadrelle.rules, then unplug the machine "
    "and plug it in again\n";
constexpr char kInUse[] = "The machine at %s is in use by another program\n";

// A pass over one device kind's listing ('H' HID, 'B' bulk): notices of that kind for paths no
// longer listed are dropped (the machine was unplugged).
void Listed(char kind, const std::vector<qplatform::InterfaceEntry>& listing);
// Keeps `format` (one of the texts above) for `path`; true when the path had no notice with
// that text yet, and the caller writes the line to the log.
bool Note(char kind, const std::string& path, const char* format);
// The path opened: its notice goes.
void Opened(const std::string& path);
// The notices standing now, oldest first, each one line without its line end.
std::vector<std::string> Current();

}  // namespace machine_notices
