// The service information parse on any reply text: the six fields of a "SERVICEINFO" reply are
// read with "%u,%u,%u,%i,%i,%i" from the text the command call left in the pages' 280-byte
// buffer. The service page is not on this branch yet, so its parse is repeated here: the point
// is the format on hostile text, and that every field the page may show is defined.
#include <cstdio>
#include <cstring>
#include <memory>

#include "FuzzSupport.h"

namespace {

constexpr size_t kReplyBuffer = 280;

struct ServiceInfo {
  unsigned field1 = 0;
  unsigned deals_total = 0;
  unsigned deals_since_service = 0;
  int field4 = 0;
  int field5 = 0;
  int field6 = 0;
};

// The number of fields read, 0 to 6 (EOF on an empty text counts as none).
int ParseServiceInfo(const char* text, ServiceInfo* info) {
  const int read =
      std::sscanf(text, "%u,%u,%u,%i,%i,%i", &info->field1, &info->deals_total,
                  &info->deals_since_service, &info->field4, &info->field5, &info->field6);
  return read < 0 ? 0 : read;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size >= kReplyBuffer) return 0;  // the command call refuses a reply that fills the buffer
  fuzz::QuietTrace();
  const auto reply = std::make_unique<char[]>(size + 1);
  std::memcpy(reply.get(), data, size);
  reply[size] = '\0';

  ServiceInfo info;
  const int read = ParseServiceInfo(reply.get(), &info);
  if (read > 6) fuzz::Fail("more fields read than the format has");
  // What the page shows: the second and third field once read, else "--".
  char total[16] = "--";
  char since[16] = "--";
  if (read >= 2) std::snprintf(total, sizeof total, "%u", info.deals_total);
  if (read >= 3) std::snprintf(since, sizeof since, "%u", info.deals_since_service);
  if (std::strlen(total) > 10 || std::strlen(since) > 10) fuzz::Fail("a field does not fit");
  return 0;
}
