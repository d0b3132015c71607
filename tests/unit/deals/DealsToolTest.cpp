// quadrelle-deals run as a program, the way directors use it.
#include "DealFileFixture.h"
#include "FullDisc.h"

namespace {

constexpr const char* kUsageStart = "usage: quadrelle-deals FILE...\n";

class DealsToolTest : public ToolTest {
 protected:
  DealsToolTest() : ToolTest(QUADRELLE_DEALS_TOOL) {}
};

TEST_F(DealsToolTest, WritesOneLinePerDealNumberedFromOne) {
  const std::string bri =
      Write("a.bri", Record(OrderedDeal(), 128) + Record(DealtRoundDeal(), 128));
  const std::string dup = Write("b.DUP", Record(DealtRoundDeal(), 156));
  EXPECT_EQ(Run(bri + " " + dup), 0);
  EXPECT_EQ(out_,
            "1\tN:AKQJT98765432... .AKQJT98765432.. ..AKQJT98765432. ...AKQJT98765432\n"
            "2\tN:AT62.J73.Q84.K95 K95.AT62.J73.Q84 Q84.K95.AT62.J73 J73.Q84.K95.AT62\n"
            "1\tN:AT62.J73.Q84.K95 K95.AT62.J73.Q84 Q84.K95.AT62.J73 J73.Q84.K95.AT62\n");
  // Each file's fingerprint beside the listing, so a script reading the deals sees no change.
  EXPECT_EQ(err_, bri + ": fingerprint 5313-7c7a\n" + dup + ": fingerprint 493e-828e\n");
}

TEST_F(DealsToolTest, FailureGivesTheReasonOnStandardErrorAndStatusOne) {
  std::string bad = Record(OrderedDeal(), 156) + Record(OrderedDeal(), 156);
  bad.replace(156 + 10, 2, "99");
  const std::string cut = Write("cut.bri", std::string(255, '1'));
  const std::string card = Write("card.dup", bad);
  const std::string good = Write("good.bri", Record(OrderedDeal(), 128));
  EXPECT_EQ(Run(cut + " " + good + " " + card), 1);
  EXPECT_EQ(out_, "1\tN:AKQJT98765432... .AKQJT98765432.. ..AKQJT98765432. ...AKQJT98765432\n");
  EXPECT_EQ(err_, cut + ": File has wrong size 255\n" + good + ": fingerprint 5f16-7e98\n" + card +
                      ": Card out of range in deal 2\n");
  EXPECT_EQ(Run(""), 2);
  EXPECT_EQ(out_, "");
}

TEST_F(DealsToolTest, WriteConvertsEachFormatIntoTheOthersWithTheSameDeals) {
  // North in descending order: a BRI file need not sort its hands.
  const std::string bri =
      Write("in.bri", Record(DealtRoundDeal(), 128) + Record(OrderedDeal(), 128));
  ASSERT_EQ(Run("--write pbn " + Path("a.pbn") + " " + bri), 0);
  EXPECT_EQ(out_ + err_, "");
  ASSERT_EQ(Run("--write DUP " + Path("b.dup") + " " + Path("a.pbn")), 0);
  ASSERT_EQ(Run("--write bri " + Path("c.bri") + " " + Path("b.dup")), 0);
  ASSERT_EQ(Run(bri + " " + Path("a.pbn") + " " + Path("b.dup") + " " + Path("c.bri")), 0);
  const std::string listed =
      "1\tN:AT62.J73.Q84.K95 K95.AT62.J73.Q84 Q84.K95.AT62.J73 J73.Q84.K95.AT62\n"
      "2\tN:AKQJT98765432... .AKQJT98765432.. ..AKQJT98765432. ...AKQJT98765432\n";
  EXPECT_EQ(out_, listed + listed + listed + listed);
  // One set, one fingerprint, in whichever format it is written.
  EXPECT_EQ(err_, bri + ": fingerprint 7099-87d9\n" + Path("a.pbn") + ": fingerprint 7099-87d9\n" +
                      Path("b.dup") + ": fingerprint 7099-87d9\n" + Path("c.bri") +
                      ": fingerprint 7099-87d9\n");
}

// A set with a deal twice still lists whole (dealing it still works), with the warning.
TEST_F(DealsToolTest, RepeatedDealsAreNamedBesideTheListing) {
  const std::string file =
      Write("twice.bri", Record(OrderedDeal(), 128) + Record(DealtRoundDeal(), 128) +
                             Record(OrderedDeal(), 128));
  EXPECT_EQ(Run(file), 0);
  EXPECT_EQ(std::count(out_.begin(), out_.end(), '\n'), 3) << out_;
  EXPECT_EQ(err_, file + ": fingerprint 1fd4-767a\n" + file + ": Deals 1 and 3 are the same\n");
}

// The commitment of the sample session's seed, to compare with the man page's.
TEST_F(DealsToolTest, CommitPrintsTheSeedsCommitmentOrNamesTheWrongSeed) {
  const struct {
    const char* arguments;
    int status;
    const char* out;
    const char* err_start;
  } cases[] = {
      {"--commit 5175616472656c6c652073616d706c65", 0,
       "673b32717e0a8f46708b4bf44f9211d56e166c8b035de8fd3bfd33a7037df9a0\n", ""},
      {"--commit 5175616472656c6c", 2, "",
       "quadrelle-deals: the seed must have at least 32 hex digits (128 bits)\n"},
      {"--commit", 2, "", kUsageStart},
      {"--commit 5175616472656c6c652073616d706c65 x", 2, "", kUsageStart},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Run(c.arguments), c.status) << c.arguments;
    EXPECT_EQ(out_, c.out) << c.arguments;
    EXPECT_EQ(err_.rfind(c.err_start, 0), 0u) << c.arguments << ": " << err_;
  }
}

TEST_F(DealsToolTest, WriteFailureGivesTheReasonAndLeavesNoFile) {
  const std::string good = Write("good.bri", Record(OrderedDeal(), 128));
  const std::string bad = Write("bad.pbn", "[Board \"1\"]\n");
  EXPECT_EQ(Run("--write pbn " + Path("out.pbn") + " " + bad), 1);
  EXPECT_EQ(err_, bad + ": No deal tag in deal 1\n");
  EXPECT_EQ(Run("--write pbn " + Path("none/out.pbn") + " " + good), 1);
  EXPECT_EQ(err_, Path("none/out.pbn") + ": Error creating file\n");
  EXPECT_EQ(Run("--write txt " + Path("out.pbn") + " " + good), 2);
  EXPECT_FALSE(std::filesystem::exists(Path("out.pbn")));
}

// Behaves like a command-line tool: help and version on standard output with status 0, a wrong
// call gets the usage on standard error and status 2.
TEST_F(DealsToolTest, HelpVersionAndWrongCalls) {
  const struct {
    const char* arguments;
    int status;
    const char* out_start;
    const char* err_start;
  } cases[] = {
      {"--help", 0, "usage: quadrelle-deals FILE...", ""},
      {"--version", 0, "quadrelle-deals 1.17", ""},
      {"", 2, "", "usage: quadrelle-deals FILE..."},
      {"--bogus", 2, "", "usage: "},
      {"--help extra", 2, "", "usage: "},
      {"--write pbn out.pbn", 2, "", "usage: "},
      {"--write pbn --out x.bri", 2, "", "usage: "},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Run(c.arguments), c.status) << c.arguments;
    EXPECT_EQ(out_.rfind(c.out_start, 0), 0u) << c.arguments << ": " << out_;
    EXPECT_EQ(err_.rfind(c.err_start, 0), 0u) << c.arguments << ": " << err_;
  }
}

TEST_F(DealsToolTest, GenerateWritesSeededBoardsNumberedFromTheFirstBoard) {
  const std::string seed = "000102030405060708090a0b0c0d0e0f";
  ASSERT_EQ(Run("--generate 3 --first-board 16 --seed " + seed + " --write pbn " + Path("a.pbn")),
            0);
  EXPECT_EQ(out_ + err_, "");
  // Options in any order; the same seed gives the same boards in any format.
  ASSERT_EQ(Run("--generate 2 --write bri " + Path("b.bri") + " --seed " + seed), 0);
  ASSERT_EQ(Run(Path("a.pbn") + " " + Path("b.bri")), 0);
  EXPECT_EQ(out_,
            "1\tN:A94.KT9.QJT4.J53 Q8.84.AK832.Q976 KJT72.J632.95.KT 653.AQ75.76.A842\n"
            "2\tN:QJ9.T86.JT76.T54 3.AK542.KQ32.K83 A854.3.95.AJ9762 KT762.QJ97.A84.Q\n"
            "3\tN:KT.83.Q8652.T962 J86.JT76.J7.AJ83 A973.AQ954.AK3.5 Q542.K2.T94.KQ74\n"
            "1\tN:Q32.6.K984.K8632 A9.KQJ54.AQ2.QJ7 J654.T82.7653.T5 KT87.A973.JT.A94\n"
            "2\tN:AJT83.KT7.K3.Q52 4.Q8542.942.AT97 52.AJ963.T65.KJ6 KQ976..AQJ87.843\n");
  // The PBN boards carry their own numbers, dealers and vulnerabilities.
  const std::string pbn = Contents(Path("a.pbn"));
  EXPECT_NE(pbn.find("[Board \"16\"]\r\n[Dealer \"W\"]\r\n[Vulnerable \"EW\"]"), std::string::npos);
  EXPECT_NE(pbn.find("[Board \"18\"]\r\n[Dealer \"E\"]\r\n[Vulnerable \"NS\"]"), std::string::npos);
  // Without a seed: new boards every time.
  ASSERT_EQ(Run("--generate 4 --write dup " + Path("c.dup")), 0);
  ASSERT_EQ(Run("--generate 4 --write dup " + Path("d.dup")), 0);
  EXPECT_EQ(Contents(Path("c.dup")).size(), 4 * 156u);
  EXPECT_NE(Contents(Path("c.dup")), Contents(Path("d.dup")));
}

// A wrong value is named, and nothing is written: not even an empty file.
TEST_F(DealsToolTest, GenerateRefusesBadValuesAndLeavesNoFile) {
  const std::string out = Path("out.pbn");
  const std::string seed = " --seed 000102030405060708090a0b0c0d0e0f";
  const struct {
    std::string arguments;
    int status;
    std::string err;
  } cases[] = {
      {"--generate 0 --write pbn " + out, 2,
       "quadrelle-deals: the number of boards must be 1 to 9999, not 0\n"},
      {"--generate 10000 --write pbn " + out, 2,
       "quadrelle-deals: the number of boards must be 1 to 9999, not 10000\n"},
      {"--generate -3 --write pbn " + out, 2,
       "quadrelle-deals: the number of boards must be 1 to 9999, not -3\n"},
      {"--generate 12x --write pbn " + out, 2,
       "quadrelle-deals: the number of boards must be 1 to 9999, not 12x\n"},
      {"--generate 4 --first-board 0 --write pbn " + out, 2,
       "quadrelle-deals: the first board must be 1 to 9999, not 0\n"},
      {"--generate 4 --seed 0123456789abcdef --write pbn " + out, 2,
       "quadrelle-deals: the seed must have at least 32 hex digits (128 bits)\n"},
      {"--generate 4 --write txt " + out, 2,
       "quadrelle-deals: unknown format txt (bri, dup or pbn)\n"},
      {"--generate 4" + seed + " --write pbn " + Path("none/out.pbn"), 1,
       Path("none/out.pbn") + ": Error creating file\n"},
      {"--generate 4 --write pbn " + dir_.string(), 1, dir_.string() + ": Error creating file\n"},
      {"--generate 4" + seed, 2, std::string(kUsageStart)},
      {"--generate 4 --write pbn " + out + seed + seed, 2, std::string(kUsageStart)},
      {"--generate 4 --write pbn " + out + " --first-board", 2, std::string(kUsageStart)},
      {"--generate", 2, std::string(kUsageStart)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Run(c.arguments), c.status) << c.arguments;
    EXPECT_EQ(err_.substr(0, c.err.size()), c.err) << c.arguments;
    EXPECT_EQ(out_, "") << c.arguments;
    EXPECT_FALSE(std::filesystem::exists(out)) << c.arguments;
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 2)
      << "only stdout and stderr";
}

TEST_F(DealsToolTest, FullDiscLeavesTheOldFileEvenWhenItIsTheInput) {
  QUADRELLE_SKIP_WITHOUT_FULL_DISC();
  std::string records;
  for (int i = 0; i < 16; ++i) records += Record(i % 2 ? OrderedDeal() : DealtRoundDeal(), 128);
  ASSERT_EQ(Run("--write pbn " + Path("set.pbn") + " " + Write("set.bri", records)), 0);
  const std::string before = Contents(Path("set.pbn"));
  int status;
  {
    FullDisc full(1024);  // the PBN text of 16 deals is larger
    status = Run("--write pbn " + Path("set.pbn") + " " + Path("set.pbn"));
  }
  EXPECT_EQ(status, 1);
  EXPECT_EQ(err_, Path("set.pbn") + ": Error writing file\n");
  EXPECT_EQ(Contents(Path("set.pbn")), before);
  for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
    EXPECT_EQ(entry.path().string().find(".pbn."), std::string::npos) << entry.path();
  }
}

}  // namespace
