// Deal files written byte by byte into a private temporary folder, so every case shows its bytes.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "Deal.h"
#include "DealFiles.h"
#include "RunProgram.h"
#include "ScratchFolder.h"
#include "log.h"

// The deal with cards 1..52 in order: North the spades, East the hearts, South the diamonds.
inline Deal OrderedDeal() {
  Deal deal;
  for (int i = 0; i < kCardsInDeck; ++i) deal.cards[i] = static_cast<uint8_t>(i + 1);
  return deal;
}

// Card c to hand (c - 1) mod 4, North's cards stored in descending order; West ascending, as a
// reader gives it back.
inline Deal DealtRoundDeal() {
  Deal deal;
  int next[4] = {0, 0, 0, 0};
  for (int card = 1; card <= kCardsInDeck; ++card) {
    const int hand = (card - 1) % 4;
    deal.HandCards(hand)[next[hand]++] = static_cast<uint8_t>(card);
  }
  std::reverse(deal.HandCards(kNorth), deal.HandCards(kNorth) + kCardsInHand);
  return deal;
}

// North, East and South as 39 two-digit fields, then `filler` bytes up to the record size.
inline std::string Record(const Deal& deal, size_t record_size, char filler = 'x') {
  return BriRecord(deal, record_size, filler);
}

class DealFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = MakeScratchFolder("deals");
    ASSERT_FALSE(dir_.empty());
    TraceSetStandardOutput(nullptr);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::permissions(dir_, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(dir_, ignored);
    TraceResetForTests();
  }
  // Writes the bytes to `name` under the temporary folder (creating folders on the way).
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::filesystem::path path = dir_ / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
  }

  std::filesystem::path dir_;
};

// A command-line program run as directors run it, in the temporary folder.
class ToolTest : public DealFileTest {
 protected:
  explicit ToolTest(const char* program) : program_(program) {}

  // Runs the program on the arguments; returns its exit status, fills out_ and err_.
  int Run(const std::string& arguments) {
    const std::string out = Path("stdout");
    const std::string err = Path("stderr");
    const int status = RunProgram(program_, arguments, out, err);
    out_ = CapturedText(out);
    err_ = CapturedText(err);
    return status;
  }
  static std::string Contents(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  std::string out_, err_;

 private:
  const char* program_;
};
