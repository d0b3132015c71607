// Kept apart from the Qt sources: Qt's "slots" macro would spoil the trace ring's member of
// that name.
#include "SoakHistory.h"

#include "trace_ring.h"

size_t HistoryRecordBytes() {
  return sizeof(TraceRecord);
}
