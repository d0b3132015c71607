// Starting the external deal tool or print tool that the operator set up on the parameters page.
#pragma once

// Starts the program stored under `value_name` ("DealTool" or "PrintTool") in section
// "Parameters", detached, without arguments and without a shell. Nothing stored: nothing
// happens. A missing program or a failed start is told to the operator.
void LaunchTool(const char* value_name);
