// The trace log's fixed record and its fixed-size ring. Internal to the log (and its tests).
#pragma once

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)
struct TraceRecord {
  char level;
  uint8_t kind;  // 0: text line
  uint16_t year;
  uint16_t month;
  uint16_t day_of_week;
  uint16_t day;
  uint16_t hour;
  uint16_t minute;
  uint16_t second;
  uint16_t millisecond;
  uint32_t tick;
  uint16_t line;
  uint32_t reserved;
  char file[12];
  char text[128];
  uint32_t thread;
};
#pragma pack(pop)
static_assert(sizeof(TraceRecord) == 172);

// A circular buffer of N slots that holds at most N - 1 records; a push into a full ring drops
// the oldest record. Plain data, so a static ring lives in zero-initialised storage.
template <typename Record, uint32_t N>
struct TraceRing {
  Record slots[N];
  uint32_t write;
  uint32_t read;
  bool overflow;
  bool has_data;

  void Push(const Record& record) {
    const uint32_t next = (write + 1) % N;
    if (next == read) {
      read = (read + 1) % N;
      overflow = true;
    }
    slots[next] = record;
    write = next;
    has_data = true;
  }

  bool Pop(Record& record) {
    if (read == write) {
      return false;
    }
    read = (read + 1) % N;
    record = slots[read];
    has_data = read != write;
    return true;
  }

  void Clear() {
    write = 0;
    read = 0;
    overflow = false;
    has_data = false;
  }

  size_t Count() const { return (write + N - read) % N; }
};

// Formats one record in the line format of the console and the log file, ending in one "\n".
void FormatTraceLine(const TraceRecord& record, char* out, size_t size);
