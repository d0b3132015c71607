#include "DealSet.h"

#include <cstdlib>

#include "log.h"

void DealSet::IndexOutOfRange(size_t index, size_t count) {
  TRACE('C', "Deal index %zu outside deal set of %zu deals\n", index, count);
  // The critical handler ends the program; should one return, stop here all the same.
  std::abort();
}
