// Splitting a machine reply into its status code and text: our matcher beside std::regex and
// POSIX regexec on the same reply, in the same run, so the ratios are what counts.
#include <benchmark/benchmark.h>
#include <regex.h>

#include <cstring>
#include <regex>

#include "regexpclass.h"

namespace {

constexpr char kPattern[] = "^([0-9][0-9])[ \t]+(.*)";
constexpr char kReply[] = "00 Deal 12 sorted: 52 cards in 4 pockets";
static_assert(sizeof kReply - 1 == 40, "a 40-character reply");

struct Split {
  char code[8];
  char text[64];
};

void Copy(char* dest, size_t size, const char* from, size_t length) {
  if (length >= size) length = size - 1;
  std::memcpy(dest, from, length);
  dest[length] = '\0';
}

// --- Precompiled pattern, one match and split per iteration --------------------------------

void BM_Reply_Regexp(benchmark::State& state) {
  RegexpClass re(kPattern);
  Split out{};
  for (auto _ : state) {
    int ok = re.Match(kReply);
    re.regsub("\\1", out.code, sizeof out.code);
    re.regsub("\\2", out.text, sizeof out.text);
    benchmark::DoNotOptimize(ok);
    benchmark::DoNotOptimize(out);
  }
  if (std::strcmp(out.code, "00") != 0) state.SkipWithError("wrong split");
}
BENCHMARK(BM_Reply_Regexp);

void BM_Reply_StdRegex(benchmark::State& state) {
  std::regex re(kPattern);
  std::cmatch m;
  Split out{};
  for (auto _ : state) {
    bool ok = std::regex_search(kReply, m, re);
    Copy(out.code, sizeof out.code, m[1].first, static_cast<size_t>(m[1].length()));
    Copy(out.text, sizeof out.text, m[2].first, static_cast<size_t>(m[2].length()));
    benchmark::DoNotOptimize(ok);
    benchmark::DoNotOptimize(out);
  }
  if (std::strcmp(out.code, "00") != 0) state.SkipWithError("wrong split");
}
BENCHMARK(BM_Reply_StdRegex);

void BM_Reply_Posix(benchmark::State& state) {
  regex_t re;
  if (regcomp(&re, kPattern, REG_EXTENDED) != 0) {
    state.SkipWithError("regcomp failed");
    return;
  }
  regmatch_t m[3];
  Split out{};
  for (auto _ : state) {
    int rc = regexec(&re, kReply, 3, m, 0);
    Copy(out.code, sizeof out.code, kReply + m[1].rm_so,
         static_cast<size_t>(m[1].rm_eo - m[1].rm_so));
    Copy(out.text, sizeof out.text, kReply + m[2].rm_so,
         static_cast<size_t>(m[2].rm_eo - m[2].rm_so));
    benchmark::DoNotOptimize(rc);
    benchmark::DoNotOptimize(out);
  }
  regfree(&re);
  if (std::strcmp(out.code, "00") != 0) state.SkipWithError("wrong split");
}
BENCHMARK(BM_Reply_Posix);

// --- Pattern compiled for every reply, as a caller with a local matcher does ----------------

void BM_CompileAndReply_Regexp(benchmark::State& state) {
  Split out{};
  for (auto _ : state) {
    RegexpClass re(kPattern);
    int ok = re.Match(kReply);
    re.regsub("\\1", out.code, sizeof out.code);
    re.regsub("\\2", out.text, sizeof out.text);
    benchmark::DoNotOptimize(ok);
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(BM_CompileAndReply_Regexp);

void BM_CompileAndReply_StdRegex(benchmark::State& state) {
  Split out{};
  for (auto _ : state) {
    std::regex re(kPattern);
    std::cmatch m;
    bool ok = std::regex_search(kReply, m, re);
    Copy(out.code, sizeof out.code, m[1].first, static_cast<size_t>(m[1].length()));
    Copy(out.text, sizeof out.text, m[2].first, static_cast<size_t>(m[2].length()));
    benchmark::DoNotOptimize(ok);
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(BM_CompileAndReply_StdRegex);

void BM_CompileAndReply_Posix(benchmark::State& state) {
  Split out{};
  for (auto _ : state) {
    regex_t re;
    regcomp(&re, kPattern, REG_EXTENDED);
    regmatch_t m[3];
    int rc = regexec(&re, kReply, 3, m, 0);
    Copy(out.code, sizeof out.code, kReply + m[1].rm_so,
         static_cast<size_t>(m[1].rm_eo - m[1].rm_so));
    Copy(out.text, sizeof out.text, kReply + m[2].rm_so,
         static_cast<size_t>(m[2].rm_eo - m[2].rm_so));
    regfree(&re);
    benchmark::DoNotOptimize(rc);
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(BM_CompileAndReply_Posix);

}  // namespace
