// Where a run's values live in the settings store: the card distribution page's file and range
// ("Filename", "StartDeal", "NumberOfDeal") and the deal menu's "LastFile" and
// "NumberOfCopies". A copy bound to one machine keeps them under "Machine-<machine>/" so that
// two windows never overwrite each other's run; without a machine they stay where they always
// were. Every other value (the parameters) is shared by all copies.
#pragma once

#include <string>

// Binds this process's run values to `machine` ("" for none). Called once at start, before any
// page reads the store. Never blocks.
void SetRunSettingsMachine(const std::string& machine);

// "CardDistribution" and "DealMenu", with the machine's group in front when bound. Valid until
// the next SetRunSettingsMachine.
const char* CardDistributionSection();
const char* DealMenuSection();

// The section `name` takes for `machine` ("" for none): the one rule behind the two above.
std::string RunSection(const std::string& machine, const char* name);
