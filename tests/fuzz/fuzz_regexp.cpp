// The matcher on random patterns and texts. Input: destination size, sub-match limit, then
// pattern, text and substitution template separated by NUL bytes. Each piece is copied into a
// buffer of exactly its size, so reading past an end is caught.
#include <cstring>
#include <memory>
#include <vector>

#include "FuzzSupport.h"
#include "regexpclass.h"

namespace {

// The next NUL-separated piece of [data, end), as a heap string of exactly its length + 1.
std::unique_ptr<char[]> Piece(const uint8_t*& data, const uint8_t* end, size_t* length) {
  const size_t left = data < end ? static_cast<size_t>(end - data) : 0;
  const void* nul = left > 0 ? std::memchr(data, 0, left) : nullptr;
  const size_t n =
      nul != nullptr ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - data) : left;
  const uint8_t* stop = data + n;
  *length = n;
  auto piece = std::make_unique<char[]>(n + 1);
  for (size_t i = 0; i < n; ++i) piece[i] = static_cast<char>(data[i]);
  piece[n] = '\0';
  data = stop == end ? end : stop + 1;
  return piece;
}

void CheckSubMatches(const RegexpClass& re, const char* text, size_t length) {
  for (int n = 0; n < RegexpClass::NSUBEXP; ++n) {
    const char* start = re.SubStart(n);
    const char* end = re.SubEnd(n);
    if (start == nullptr || end == nullptr) continue;
    if (start < text || end > text + length || start > end) {
      fuzz::Fail("a sub-match lies outside the text");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  fuzz::QuietTrace();
  const size_t dest_size = data[0];
  const int limit = data[1] >= 128 ? -1 : data[1];
  const uint8_t* at = data + 2;
  const uint8_t* const end = data + size;
  size_t pattern_length = 0, text_length = 0, source_length = 0;
  const auto pattern = Piece(at, end, &pattern_length);
  const auto text = Piece(at, end, &text_length);
  const auto source = Piece(at, end, &source_length);

  RegexpClass re(pattern.get());
  // A destination of exactly dest_size bytes (a one-byte guard when it is zero: nothing may be
  // written then, not even the terminator).
  std::vector<char> dest(dest_size == 0 ? 1 : dest_size, '#');
  if (!re.IsValid()) {
    if (re.Match(text.get()) != 0) fuzz::Fail("a pattern that did not compile matched");
    re.regsub(source.get(), dest.data(), dest_size, limit);
    return 0;
  }
  int matched = re.Match(text.get());
  for (int round = 0; matched && round < 8; ++round) {
    CheckSubMatches(re, text.get(), text_length);
    const int written = re.regsub(source.get(), dest.data(), dest_size, limit);
    if (written != (dest_size > 0 ? 1 : 0)) fuzz::Fail("regsub's result does not fit its input");
    if (dest_size > 0 && std::memchr(dest.data(), 0, dest_size) == nullptr) {
      fuzz::Fail("regsub left the destination unterminated");
    }
    if (dest_size == 0 && dest[0] != '#') fuzz::Fail("regsub wrote into a zero-sized destination");
    matched = re.NextMatch();
  }
  return 0;
}
