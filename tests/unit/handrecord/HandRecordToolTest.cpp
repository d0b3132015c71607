// quadrelle-handrecord run as a program, the way directors use it; the PDF read back as text
// with poppler's pdftotext.
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "BriDup.h"
#include "DealFileFixture.h"
#include "DealGenerator.h"
#include "DealWrite.h"
#include "Fingerprint.h"
#include "HandRecordDeals.h"
#include "TestSystem.h"

namespace {

class HandRecordToolTest : public ToolTest {
 protected:
  HandRecordToolTest() : ToolTest(QUADRELLE_HANDRECORD_TOOL) {}

  // A PBN file of the given boards (number, deal).
  std::string WriteBoards(const std::string& name,
                          std::initializer_list<std::pair<int, const char*>> boards) {
    std::ofstream out(Path(name), std::ios::binary);
    for (const auto& [number, deal] : boards) {
      out << "[Board \"" << number << "\"]\n[Deal \"" << deal << "\"]\n\n";
    }
    return Path(name);
  }
  // The fingerprint of the whole file, as the deal menu shows it for the file it deals.
  std::string FingerprintOf(const std::string& file) {
    DealSet deals;
    EXPECT_TRUE(LoadDealFile(file.c_str(), deals)) << file;
    return DealSetFingerprint(deals);
  }
  // The PDF's text in the order it was drawn, or empty when pdftotext fails.
  std::string PdfText(const std::string& pdf) {
    const std::string text = Path("pdf.txt");
    if (std::system(("pdftotext -raw '" + pdf + "' '" + text + "'").c_str()) != 0) return "";
    return Contents(text);
  }
};

TEST_F(HandRecordToolTest, PrintsTheAnalysisOfTheChosenBoards) {
  const std::string file =
      WriteBoards("club.pbn", {{5, kSuitEach}, {6, kClubsWithWest}, {7, kSuitEachTurned}});
  ASSERT_EQ(Run(file + " --boards 6"), 0) << err_;
  EXPECT_EQ(err_, "");
  // The whole file's fingerprint first; declarers N, S, E, W down, strains NT, spades .. clubs
  // across.
  EXPECT_EQ(out_,
            "Fingerprint " + FingerprintOf(file) +
                "\n\n"
                "Board 6  Dealer E  Vul EW  N:AKQJ.AKQJ.AKQJT. 65432.65432.432. T987.T987.98765. "
                "...AKQJT98765432\n"
                "  HCP N 30 E 0 S 0 W 10\n"
                "      NT  S  H  D  C\n"
                "  N   13 12 12 13  0\n"
                "  S    0 12 12 13  0\n"
                "  E    0  1  1  0 13\n"
                "  W    0  1  1  0 13\n"
                "  Par NS 1520: N 7NT\n\n");
}

TEST_F(HandRecordToolTest, WritesThePrintedRecordAndThePbnFile) {
  // Seven boards: a full page of six and one on the second.
  const std::string file = WriteBoards("night.pbn", {{1, kSuitEach},
                                                     {2, kSuitEach},
                                                     {3, kSuitEach},
                                                     {4, kSuitEachTurned},
                                                     {5, kSuitEach},
                                                     {6, kSuitEach},
                                                     {7, kClubsWithWest}});
  ASSERT_EQ(Run(file + " --pdf " + Path("night.pdf") + " --pbn " + Path("night-dd.pbn")), 0)
      << err_;
  EXPECT_EQ(out_ + err_, "");
  DealSet deals;
  std::vector<int> numbers;
  ASSERT_TRUE(LoadNumberedDealFile(Path("night-dd.pbn").c_str(), deals, &numbers));
  EXPECT_EQ(numbers, (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(deals[6], DealOf(kClubsWithWest));
  EXPECT_NE(Contents(Path("night-dd.pbn")).find("[ParContract \"N 7NT\"]"), std::string::npos);

  QUADRELLE_SKIP_ON_WINDOWS("the PDF is read back with poppler's pdftotext, a Linux program");
  const std::string text = PdfText(Path("night.pdf"));
  ASSERT_NE(text, "") << "pdftotext could not read the PDF";
  // In the order it is drawn: the board, the hands North, West, East and South (suit symbols,
  // the ten as "10", a void as a dash), the points of North, East, South and West, the table by
  // declarer N, S, E, W and strain NT, spades .. clubs, and the par.
  const std::string kBoard4 =
      "Board 4\nDealer W\nVul All\n"
      "♠ —\n♥ AKQJ1098765432\n♦ —\n♣ —\n"
      "♠ —\n♥ —\n♦ AKQJ1098765432\n♣ —\n"
      "♠ AKQJ1098765432\n♥ —\n♦ —\n♣ —\n"
      "♠ —\n♥ —\n♦ —\n♣ AKQJ1098765432\n"
      "10\n10\n10\n10\n"
      "NT ♠ ♥ ♦ ♣\n"
      "N 0 0 13 0 13\nS 0 0 13 0 13\nE 0 13 0 13 0\nW 0 13 0 13 0\n"
      "Par EW 2210: EW 7♠\n";
  const std::string kBoard7 =
      "Board 7\nDealer S\nVul All\n"
      "♠ AKQJ\n♥ AKQJ\n♦ AKQJ10\n♣ —\n"
      "♠ —\n♥ —\n♦ —\n♣ AKQJ1098765432\n"
      "♠ 65432\n♥ 65432\n♦ 432\n♣ —\n"
      "♠ 10987\n♥ 10987\n♦ 98765\n♣ —\n"
      "30\n0\n0\n10\n"
      "NT ♠ ♥ ♦ ♣\n"
      "N 13 12 12 13 0\nS 0 12 12 13 0\nE 0 1 1 0 13\nW 0 1 1 0 13\n"
      "Par NS 2220: N 7NT\n";
  // Every page's title line has the whole file's fingerprint.
  const std::string title = "night.pbn Fingerprint " + FingerprintOf(file);
  for (const std::string& expected :
       {title + " page 1 of 2\nBoard 1\nDealer N\nVul None\n", kBoard4,
        std::string("Par NS 2210: NS 7♠\nBoard 3\n"), title + " page 2 of 2\n" + kBoard7}) {
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\nin:\n" << text;
  }
  EXPECT_EQ(text.find("Board 8"), std::string::npos);
}

// A seeded set's record carries the seed's commitment, once the seed is shown to make every board
// of the file; a seed that did not make them gets no commitment and no record.
TEST_F(HandRecordToolTest, CommitmentOnlyForTheSeedThatMadeTheBoards) {
  const std::string hex = "5175616472656c6c652073616d706c65";
  const std::string commitment = "673b32717e0a8f46708b4bf44f9211d56e166c8b035de8fd3bfd33a7037df9a0";
  DealSeed seed;
  std::string error;
  ASSERT_TRUE(ParseDealSeed(hex, seed, error));
  DealSet deals;
  ASSERT_TRUE(GenerateDeals(3, 4, &seed, deals));
  const std::string file = Path("seeded.pbn");
  ASSERT_TRUE(WriteDealFile(file.c_str(), deals, DealFileKind::kPbn, 4));
  ASSERT_TRUE(WriteDealFile(Path("moved.pbn").c_str(), deals, DealFileKind::kPbn, 5));

  ASSERT_EQ(Run(file + " --boards 5 --commitment " + hex), 0) << err_;
  EXPECT_EQ(out_.rfind("Fingerprint " + FingerprintOf(file) + "\nSeed commitment " + commitment +
                           "\n\nBoard 5 ",
                       0),
            0u)
      << out_;
  ASSERT_EQ(Run(file + " --boards 4 --pdf " + Path("seeded.pdf") + " --commitment " + hex), 0)
      << err_;
  if (!kTestSystemIsWindows) {  // read back with pdftotext, a Linux program
    EXPECT_NE(PdfText(Path("seeded.pdf")).find("Seed commitment " + commitment), std::string::npos);
  }

  const struct {
    std::string arguments;
    int status;
    std::string err;
  } cases[] = {
      {Path("moved.pbn") + " --commitment " + hex, 1,
       Path("moved.pbn") + ": board 5 is not the board the seed makes\n"},
      {file + " --commitment 5175", 2,
       "quadrelle-handrecord: the seed must have at least 32 hex digits (128 bits)\n"},
      {file + " --commitment", 2, "usage: quadrelle-handrecord FILE"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Run(c.arguments + " --pdf " + Path("wrong.pdf")), c.status) << c.arguments;
    EXPECT_EQ(err_.substr(0, c.err.size()), c.err) << c.arguments;
    EXPECT_FALSE(std::filesystem::exists(Path("wrong.pdf"))) << c.arguments;
  }
}

TEST_F(HandRecordToolTest, WrongCallsAndFailuresAreNamed) {
  const std::string file = WriteBoards("two.pbn", {{1, kSuitEach}, {2, kSuitEach}});
  const std::string bad = Path("bad.pbn");
  std::ofstream(bad) << "[Deal \"N:AKQ\"]\n";
  const struct {
    std::string arguments;
    int status;
    std::string err_start;
  } cases[] = {
      {"--help", 0, ""},
      {"", 2, "usage: quadrelle-handrecord FILE"},
      {file + " --boards", 2, "usage: "},
      {file + " --pdf a.pdf --pdf b.pdf", 2, "usage: "},
      {file + " --boards 3-2", 2,
       "quadrelle-handrecord: --boards wants A-B with 1 <= A <= B, not 3-2"},
      {file + " --boards x", 2, "quadrelle-handrecord: --boards wants"},
      {file + " --boards 3-9", 1, file + ": no boards 3-9 in the file\n"},
      {Path("gone.pbn"), 1, Path("gone.pbn") + ": File does not exist\n"},
      {bad, 1, bad + ": Wrong number of suits in deal 1\n"},
      {file + " --pdf " + Path("none/x.pdf"), 1, Path("none/x.pdf") + ": "},
      {file + " --pbn " + dir_.string(), 1, dir_.string() + ": "},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Run(c.arguments), c.status) << c.arguments;
    EXPECT_EQ(err_.substr(0, c.err_start.size()), c.err_start) << c.arguments << ": " << err_;
  }
  EXPECT_FALSE(std::filesystem::exists(Path("none")));
  ASSERT_EQ(Run("--version"), 0);
  EXPECT_EQ(out_.rfind("quadrelle-handrecord 1.17", 0), 0u) << out_;
}

}  // namespace
