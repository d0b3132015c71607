#include "SimSlot.h"

#include "platform/EmuBackend.h"

namespace qsim {

// The program's own rule for where the slots are and what they are called, so both ends agree.
std::string EmulatorDirectory() {
  return qplatform::EmulatorLink::DefaultDirectory();
}

std::string SlotPath(const std::string& directory, int slot) {
  return qplatform::EmulatorLink(directory).SlotPath(slot);
}

}  // namespace qsim
