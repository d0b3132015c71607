// The command call's reply parsing on any reply text: the bytes the exchange delivered go into
// the pages' 280-byte reply buffer, are split with "^([0-9][0-9])[ \t]+(.*)" and written back
// with regsub, step for step as the main dialog's command call does after the exchange (that
// call needs the whole dialog and a machine, so its steps are repeated here).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "FuzzSupport.h"
#include "regexpclass.h"

namespace {

constexpr size_t kReplyBuffer = 280;  // what every page hands the command call

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::QuietTrace();
  // A heap buffer of exactly the pages' size, so a write past it is caught.
  const auto reply = std::make_unique<char[]>(kReplyBuffer);
  std::snprintf(reply.get(), kReplyBuffer, "%s", "Test return");
  const size_t n = size;
  if (n >= kReplyBuffer) return 0;  // "Buffer too small": refused before parsing
  std::memcpy(reply.get(), data, n);
  reply[n] = 0;

  RegexpClass pattern("^([0-9][0-9])[ \t]+(.*)");
  if (!pattern.IsValid()) fuzz::Fail("the reply pattern did not compile");
  if (!pattern.Match(reply.get())) return 0;  // "Unparsable reply"
  std::string text(kReplyBuffer, '\0');
  std::string code(kReplyBuffer, '\0');
  if (pattern.regsub("\\2", text.data(), text.size(), -1) != 1 ||
      pattern.regsub("\\1", code.data(), code.size(), -1) != 1) {
    fuzz::Fail("regsub failed on a parsed reply");
  }
  std::snprintf(reply.get(), kReplyBuffer, "%s", text.c_str());
  const long status = std::strtol(code.c_str(), nullptr, 10);

  // The code is the reply's two leading digits, the text what follows the blanks after them.
  if (std::strlen(code.c_str()) != 2 || status < 0 || status > 99 ||
      status != (data[0] - '0') * 10 + (data[1] - '0')) {
    fuzz::Fail("the status code is not the reply's two digits");
  }
  const size_t text_length = std::strlen(text.c_str());
  const char* const full = reinterpret_cast<const char*>(data);
  const size_t until_nul = strnlen(full, n);
  if (text_length > until_nul - 3 ||
      std::memcmp(text.c_str(), full + until_nul - text_length, text_length) != 0) {
    fuzz::Fail("the reply text is not the tail of the reply");
  }
  if (std::strcmp(reply.get(), text.c_str()) != 0) fuzz::Fail("the reply buffer lost the text");
  return 0;
}
