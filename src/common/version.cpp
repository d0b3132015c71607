#include "version.h"

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "Console.h"
#include "System.h"
#include "regexpclass.h"

// The build passes its own string; this is the one of the current release.
#ifndef QUADRELLE_VERSION_STRING
#define QUADRELLE_VERSION_STRING "1.17 13.03.17.10:48.22"
#endif

namespace {

// A look at the binary (strings | grep VERSION:) tells which build it is. The version string is
// the tail of this text, so every program that asks for its version keeps the marker.
__attribute__((used)) const char kVersionMarker[] = "VERSION:" QUADRELLE_VERSION_STRING;
constexpr size_t kMarkerPrefix = sizeof("VERSION:") - 1;

// Sub-match `n` of the last match of `re` on `text`, through regsub like every other user.
std::vector<char> SubMatch(RegexpClass& re, const char* text, const char* which) {
  std::vector<char> out(std::strlen(text) + 1, '\0');
  if (!re.regsub(which, out.data(), out.size())) out[0] = '\0';
  return out;
}

// Reads like "%i" (a leading 0 means octal), without the undefined result of an overflow.
int32_t ReadNumber(const char* digits, int base, bool* ok) {
  char* end = nullptr;
  long value = std::strtol(digits, &end, base);
  *ok = end != digits;
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

void Append(char* buffer, size_t size, size_t* used, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

// Appends to a NUL-terminated buffer, cutting what does not fit.
void Append(char* buffer, size_t size, size_t* used, const char* format, ...) {
  if (*used + 1 >= size) return;
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(buffer + *used, size - *used, format, args);
  va_end(args);
  if (n < 0) {
    buffer[*used] = '\0';
    return;
  }
  *used += static_cast<size_t>(n);
  if (*used >= size) *used = size - 1;
}

}  // namespace

const char* GetVersionString() {
  return kVersionMarker + kMarkerPrefix;
}

bool ParseVersion(VersionRecord& record, const char* text) {
  std::memset(record.numbers, 0, sizeof record.numbers);
  record.count = 0;
  record.test_mark = 0;
  record.valid = 0;
  record.build_time = 0;

  RegexpClass whole("^0*([0-9\\.]+)[ \t]*(.*)");
  if (!whole.Match(text)) return false;
  std::vector<char> numbers = SubMatch(whole, text, "\\1");
  std::vector<char> rest = SubMatch(whole, text, "\\2");

  RegexpClass number("([0-9]+)");
  for (int found = number.Match(numbers.data()); found; found = number.NextMatch()) {
    if (record.count >= VersionRecord::kMaxNumbers) break;  // the record holds ten; cut the rest
    std::vector<char> digits = SubMatch(number, numbers.data(), "\\1");
    bool ok = false;
    record.numbers[record.count++] = ReadNumber(digits.data(), 0, &ok);
  }

  if (rest[0] == '*') record.test_mark = 1;

  // YY.MM.DD.hh:mm.ss, any non-digits between the parts.
  struct tm stamp = {};
  int part = 0;
  RegexpClass field("0*([0-9]+)");
  for (int found = field.Match(rest.data()); found; found = field.NextMatch(), ++part) {
    std::vector<char> digits = SubMatch(field, rest.data(), "\\1");
    bool ok = false;
    if (part == 0) {
      digits.resize(3);  // the year is read from its first two digits
      digits[2] = '\0';
      stamp.tm_year = ReadNumber(digits.data(), 0, &ok) + 100;
      continue;
    }
    int value = ReadNumber(digits.data(), 10, &ok);
    if (!ok) return false;
    switch (part) {
      case 1:
        stamp.tm_mon = value - 1;
        break;
      case 2:
        stamp.tm_mday = value;
        break;
      case 3:
        stamp.tm_hour = value;
        break;
      case 4:
        stamp.tm_min = value;
        break;
      case 5:
        stamp.tm_sec = value;
        break;
      default:
        break;
    }
  }
  if (part > 0) {
    stamp.tm_isdst = -1;
    time_t t = std::mktime(&stamp);
    record.build_time = t == static_cast<time_t>(-1) ? 0 : static_cast<int64_t>(t);
  }

  record.valid = 1;
  return true;
}

void FormatVersionNumbers(const VersionRecord& record, char* buffer, size_t size) {
  if (buffer == nullptr || size == 0) return;
  buffer[0] = '\0';
  size_t used = 0;
  int count = record.count;
  if (count < 0) count = 0;
  if (count > VersionRecord::kMaxNumbers) count = VersionRecord::kMaxNumbers;
  for (int i = 0; i < count; ++i) {
    Append(buffer, size, &used, i == 0 ? "%i" : ".%i", static_cast<int>(record.numbers[i]));
  }
  if (record.test_mark) Append(buffer, size, &used, "*");
}

void MakeVersionText(const char* version, char* buffer, size_t size) {
  if (buffer == nullptr || size == 0) return;
  VersionRecord record;
  ParseVersion(record, version);
  FormatVersionNumbers(record, buffer, size);
  size_t used = std::strlen(buffer);
  Append(buffer, size, &used, "%s", record.test_mark ? " tst " : " rel");
  if (!record.test_mark) return;
  const qsys::CivilTime local = qsys::LocalTimeOf(record.build_time);
  Append(buffer, size, &used, "%04u.%02u.%02u %02u.%02u:%02u", unsigned{local.year},
         unsigned{local.month}, unsigned{local.day}, unsigned{local.hour}, unsigned{local.minute},
         unsigned{local.second});
}

const char* GetVersionText() {
  static char text[80];
  static const bool built = (MakeVersionText(GetVersionString(), text, sizeof text), true);
  (void)built;
  return text;
}

bool AnswerHelpOrVersion(int argc, char** argv, const char* program, const char* usage,
                         const char* help) {
  if (argc != 2) return false;
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "--version") == 0) {
    qsys::ShowOutputInParentConsole();
  }
  if (std::strcmp(argv[1], "--help") == 0) {
    std::fputs(usage, stdout);
    std::fputs(help, stdout);
    return true;
  }
  if (std::strcmp(argv[1], "--version") == 0) {
    std::printf("%s %s (%s)\n", program, GetVersionText(), GetVersionString());
    return true;
  }
  return false;
}
