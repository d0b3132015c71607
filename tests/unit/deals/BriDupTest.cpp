#include <filesystem>
#include <fstream>
#include <string_view>
#include <utility>
#include <vector>

#include "BriDup.h"
#include "DealFileFixture.h"
#include "PosixFileKinds.h"
#include "TestSystem.h"

namespace {

using Reader = bool (*)(const char*, DealSet&);

// A set that already holds something, to see whether a failure touched it.
DealSet PreviousSet() {
  DealSet set;
  set.push_back(DealtRoundDeal());
  return set;
}

// Every byte value, to fill the parts of a record that are never read.
std::string AllByteValues() {
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
  return bytes;
}

struct Format {
  const char* name;
  uint32_t record_size;
  const char* matched;
  const char* read_ok;
};
const Format kFormats[] = {
    {"deals.bri", 128, "This matches a bri file name\n", "Bri File contains 2 deals OK\n"},
    {"deals.dup", 156, "This matches a dup file name\n", "File OK\n"},
};

TEST_F(DealFileTest, ReadsEveryRecordInFileOrderWhateverTheUnreadBytesHold) {
  for (const Format& format : kFormats) {
    SCOPED_TRACE(format.name);
    std::string bytes =
        Record(OrderedDeal(), format.record_size) + Record(DealtRoundDeal(), format.record_size);
    const std::string noise = AllByteValues();
    for (size_t i = 0; i < bytes.size(); ++i) {
      if (i % format.record_size >= 78) bytes[i] = noise[i % noise.size()];
    }
    DealSet deals = PreviousSet();
    TraceCapture capture;
    ASSERT_TRUE(LoadDealFile(Write(format.name, bytes).c_str(), deals));
    ASSERT_EQ(deals.size(), 2u);
    EXPECT_EQ(deals[0], OrderedDeal());
    EXPECT_EQ(deals[1], DealtRoundDeal());
    ASSERT_EQ(capture.lines.size(), 3u);
    EXPECT_EQ(capture.lines[0].level, 'I');
    EXPECT_EQ(capture.lines[0].text, format.matched);
    EXPECT_EQ(capture.lines[1].level, 'D');
    EXPECT_EQ(capture.lines[1].text, std::to_string(format.record_size) + "\n");
    EXPECT_EQ(capture.lines[2].level, 'D');
    EXPECT_EQ(capture.lines[2].text, format.read_ok);
    EXPECT_EQ(capture.lines[2].file, "BriDup.cpp");
  }
}

TEST_F(DealFileTest, FieldValueComesFromTheTwoBytesAsSignedValues) {
  const struct {
    const char* field;
    int card;
  } kCases[] = {{"01", 1}, {"52", 52}, {"0:", 10}, {"1?", 25}, {"5\xFF", 1}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.field);
    // Move the card to North's first place; what it displaces goes where the card was.
    Deal expected = OrderedDeal();
    std::swap(expected.cards[0], expected.cards[c.card - 1]);
    std::sort(expected.HandCards(kWest), expected.HandCards(kWest) + kCardsInHand);
    std::string bytes = Record(expected, 128);
    bytes.replace(0, 2, c.field);
    DealSet deals;
    ASSERT_TRUE(LoadDealFile(Write("f.bri", bytes).c_str(), deals));
    ASSERT_EQ(deals.size(), 1u);
    EXPECT_EQ(deals[0], expected);
  }
}

TEST_F(DealFileTest, WestIsTheThirteenMissingCardsInAscendingOrder) {
  Deal deal = OrderedDeal();
  std::reverse(deal.cards, deal.cards + 52);  // North, East, South hold 52 down to 14
  DealSet deals;
  ASSERT_TRUE(LoadDealFile(Write("w.dup", Record(deal, 156)).c_str(), deals));
  ASSERT_EQ(deals.size(), 1u);
  const uint8_t* west = deals[0].HandCards(kWest);
  EXPECT_EQ(std::vector<int>(west, west + 13),
            (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}));
  EXPECT_EQ(deals[0].cards[0], 52);
}

TEST_F(DealFileTest, OneBadDealDiscardsTheWholeFile) {
  // Fields are replaced in the bad deal; North's first field holds 49. The first bad field in
  // file order names the fault.
  const struct {
    const char* name;
    uint32_t record_size;
    int bad_deal;
    std::vector<std::pair<int, const char*>> fields;
    const char* warning;
  } kCases[] = {
      {"a.bri", 128, 3, {{5, "00"}}, "Card out of range in deal 3\n"},
      {"b.bri", 128, 3, {{20, "53"}}, "Card out of range in deal 3\n"},
      {"c.dup", 156, 2, {{38, "\xFF\xFF"}}, "Card out of range in deal 2\n"},
      {"d.dup", 156, 1, {{1, "01"}}, "Duplcate card in deal 1\n"},
      {"e.bri", 128, 4, {{38, "49"}}, "Duplcate card in deal 4\n"},
      {"f.bri", 128, 2, {{1, "49"}, {20, "99"}}, "Duplcate card in deal 2\n"},
      {"g.dup", 156, 2, {{1, "99"}, {20, "49"}}, "Card out of range in deal 2\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    std::string bytes;
    for (int deal = 0; deal < 4; ++deal) bytes += Record(DealtRoundDeal(), c.record_size);
    for (const auto& [field, value] : c.fields) {
      bytes.replace((c.bad_deal - 1) * c.record_size + 2 * field, 2, value);
    }
    DealSet deals = PreviousSet();
    TraceCapture capture;
    EXPECT_FALSE(LoadDealFile(Write(c.name, bytes).c_str(), deals));
    EXPECT_TRUE(deals.empty());
    EXPECT_EQ(capture.Texts('W'), std::vector<std::string>{c.warning});
  }
}

TEST_F(DealFileTest, RefusedFilesLeaveTheSetAsItWas) {
  std::filesystem::create_directories(dir_ / "folder.bri");
  // Opening the FIFO must not hang.
  if (!kTestSystemIsWindows) {
    ASSERT_TRUE(MakeFifo((dir_ / "pipe.dup").string()));
  }
  const struct {
    const char* name;
    size_t size;
    Reader reader;
    const char* warning;
  } kCases[] = {
      {"255.bri", 255, LoadDealFile, "File has wrong size 255\n"},
      {"129.bri", 129, LoadDealFile, "File has wrong size 129\n"},
      {"311.dup", 311, LoadDealFile, "File has wrong size 311\n"},
      {"128.dup", 128, LoadDealFile, "File has wrong size 128\n"},
      {"direct.bri", 200, ReadBriFile, "File has wrong size 200\n"},
      {"direct.dup", 256, ReadDupFile, "File has wrong size 256\n"},
      {"deals.txt", 128, LoadDealFile, "File name unmatched\n"},
      {"dealsbri", 128, LoadDealFile, "File name unmatched\n"},
      {"missing.bri", 0, LoadDealFile, "File does not exist\n"},
      {"missing.dup", 0, ReadDupFile, "File does not exist\n"},
      {"folder.bri", 0, LoadDealFile, "File does not exist\n"},
      {"pipe.dup", 0, LoadDealFile, "File does not exist\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    if (c.name == std::string_view("pipe.dup") && kTestSystemIsWindows) continue;  // POSIX's
    std::string path = (dir_ / c.name).string();
    if (c.size > 0) path = Write(c.name, std::string(c.size, '1'));
    DealSet deals = PreviousSet();
    TraceCapture capture;
    EXPECT_FALSE(c.reader(path.c_str(), deals));
    EXPECT_EQ(deals, PreviousSet());
    EXPECT_EQ(capture.Texts('W'), std::vector<std::string>{c.warning});
  }
}

TEST_F(DealFileTest, FileKindIsFoundAnywhereInThePathInEitherCase) {
  const struct {
    const char* name;
    uint32_t record_size;
    const char* matched;
    bool ok;
  } kCases[] = {
      {"DEALS.BRI", 128, "This matches a bri file name\n", true},
      {"deals.Bri", 128, "This matches a bri file name\n", true},
      {"deals.DuP", 156, "This matches a dup file name\n", true},
      {"set.bRi/deals.txt", 128, "This matches a bri file name\n", true},
      {"set.dup/deals", 156, "This matches a dup file name\n", true},
      // BRI is tested first, so a DUP file in a .bri folder is taken for BRI and refused.
      {"old.bri/deals.dup", 156, "This matches a bri file name\n", false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    DealSet deals;
    TraceCapture capture;
    EXPECT_EQ(LoadDealFile(Write(c.name, Record(OrderedDeal(), c.record_size)).c_str(), deals),
              c.ok);
    EXPECT_EQ(capture.Texts('I'), std::vector<std::string>{c.matched});
    EXPECT_EQ(deals.size(), c.ok ? 1u : 0u);
  }
}

TEST_F(DealFileTest, EmptyFileLoadsAsAnEmptySet) {
  for (const char* name : {"empty.bri", "empty.dup"}) {
    SCOPED_TRACE(name);
    DealSet deals = PreviousSet();
    EXPECT_TRUE(LoadDealFile(Write(name, "").c_str(), deals));
    EXPECT_TRUE(deals.empty());
  }
}

TEST_F(DealFileTest, UnreadableFileIsRefused) {
  QUADRELLE_SKIP_ON_WINDOWS("a file is made unreadable by its POSIX mode bits");
  if (RunningAsRoot()) GTEST_SKIP() << "root reads every file";
  const std::string path = Write("locked.bri", Record(OrderedDeal(), 128));
  ASSERT_TRUE(MakeUnreadable(path));
  DealSet deals = PreviousSet();
  TraceCapture capture;
  EXPECT_FALSE(LoadDealFile(path.c_str(), deals));
  EXPECT_EQ(deals, PreviousSet());
  EXPECT_EQ(capture.Texts('W'), std::vector<std::string>{"File does not exist\n"});
}

TEST_F(DealFileTest, FileOfFourGibibytesIsRefusedWithoutReadingIt) {
  // A sparse file: no disk space used. Its size does not fit the 32 bits the size is taken in.
  const std::string path = Write("huge.bri", "");
  std::error_code error;
  std::filesystem::resize_file(path, (uint64_t{1} << 32) + 128, error);
  if (error) GTEST_SKIP() << "no sparse files";
  for (Reader reader : {LoadDealFile, ReadBriFile}) {
    DealSet deals = PreviousSet();
    TraceCapture capture;
    EXPECT_FALSE(reader(path.c_str(), deals));
    EXPECT_EQ(deals, PreviousSet());
    EXPECT_EQ(capture.Texts('W'), std::vector<std::string>{"File has wrong size 4294967295\n"});
  }
}

}  // namespace
