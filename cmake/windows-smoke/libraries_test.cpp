// The C libraries load and compute under wine: libsodium, DDS, hidapi and Google Benchmark.
#include <benchmark/benchmark.h>
#include <dds/dll.h>
#include <gtest/gtest.h>
#include <hidapi/hidapi.h>
#include <sodium.h>
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

TEST(Sodium, GenericHashMatchesTheBlake2bVector) {
  ASSERT_GE(sodium_init(), 0);
  const unsigned char text[] = {'a', 'b', 'c'};
  unsigned char hash[32];
  ASSERT_EQ(crypto_generichash(hash, sizeof hash, text, sizeof text, nullptr, 0), 0);
  std::string hex;
  for (unsigned char b : hash) {
    char two[3];
    std::snprintf(two, sizeof two, "%02x", b);
    hex += two;
  }
  EXPECT_EQ(hex, "bddd813c634239723171ef3fee98579b94964e3bb1cb3e427262c8c068d52319");
}

TEST(Dds, SolvesADealOfFourSolidSuits) {
  // North holds the spades, East the hearts, South the diamonds, West the clubs.
  ddTableDealPBN deal{};
  std::snprintf(deal.cards, sizeof deal.cards, "%s",
                "N:AKQJT98765432... .AKQJT98765432.. ..AKQJT98765432. ...AKQJT98765432");
  ddTableResults result{};
  ASSERT_EQ(CalcDDtablePBN(deal, &result), RETURN_NO_FAULT);
  EXPECT_EQ(result.resTable[0][0], 13);  // spades by North
  EXPECT_EQ(result.resTable[4][0], 0);   // no trumps by North: East leads hearts
  EXPECT_EQ(result.resTable[1][1], 13);  // hearts by East
}

bool underWine() {
  return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

TEST(Hidapi, LoadsAndEnumerates) {
  EXPECT_STREQ(hid_version_str(), HID_API_VERSION_STR);
  const int init = hid_init();
  if (init != 0 && underWine()) {
    // Wine 8's cfgmgr32 lacks CM_Get_Device_Interface_PropertyW, which hidapi resolves at init.
    GTEST_SKIP() << "hid_init under wine: " << hid_error(nullptr);
  }
  ASSERT_EQ(init, 0) << hid_error(nullptr);
  hid_device_info* devices = hid_enumerate(0x1781, 0);
  hid_free_enumeration(devices);
  EXPECT_EQ(hid_exit(), 0);
}

TEST(Benchmark, RunsARegisteredBenchmark) {
  int runs = 0;
  benchmark::RegisterBenchmark("smoke", [&runs](benchmark::State& state) {
    for (auto _ : state) ++runs;
  })->Iterations(10);
  const char* argv[] = {"smoke", nullptr};
  int argc = 1;
  benchmark::Initialize(&argc, const_cast<char**>(argv));
  benchmark::RunSpecifiedBenchmarks();
  EXPECT_EQ(runs, 10);
}

}  // namespace
