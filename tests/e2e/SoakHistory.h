// The size of one record of the trace log's in-memory history, for the soak's memory account.
#pragma once

#include <cstddef>

size_t HistoryRecordBytes();
