// The bulk machine's enumeration (the device search opens its pipes).
#pragma once

#include <cstdint>
#include <vector>

#include "ConnectionList.h"

class UsbInterface;

// Appends the present bulk machines (at most 128 members) to `list`, each {id, no device,
// free, path, ticket 0}; members that fail are skipped with their trace line.
// Blocks: the bulk listing (up to 2 s per unanswering candidate) and one probe open each.
// Returns 1 when the device set was had (the list may be unchanged); 0 when it could not be
// ("SetupDiGetClassDevs failed with %u").
int EnumerateBulkDevices(std::vector<ConnectionRecord>* list);
