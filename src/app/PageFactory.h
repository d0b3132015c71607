// Builds the page with the given number for the main dialog. Each page class is known here and
// nowhere else in the main dialog, so pages stay independent of each other.
#pragma once

#include "GenericChildDialog.h"
#include "MachineHost.h"

GenericChildDialog* CreatePageObject(int number, const char* name, unsigned template_id,
                                     MachineHost* host);
