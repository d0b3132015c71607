// quadrelle-deals --condition run as a program, the way a teacher makes a lesson set.
#include <cstdio>

#include "BoardInfo.h"
#include "BriDup.h"
#include "DealFileFixture.h"
#include "DealFormat.h"

namespace {

constexpr const char* kSeed = " --seed 000102030405060708090a0b0c0d0e0f";

class ConditionToolTest : public ToolTest {
 protected:
  ConditionToolTest() : ToolTest(QUADRELLE_DEALS_TOOL) {}
};

TEST_F(ConditionToolTest, RotateSeatsTheScriptsDealerAtEachBoardsDealer) {
  const std::string script = Write("strong.dl",
                                   "# a strong opener for the dealer\n"
                                   "dealer south\nproduce 6\n"
                                   "hcp(south) >= 20\n"
                                   "action printoneline, average \"points\" hcp(south)\n");
  ASSERT_EQ(Run("--generate --condition " + script + " --rotate --first-board 3" + kSeed +
                " --write pbn " + Path("a.pbn")),
            0)
      << err_;
  DealSet deals;
  ASSERT_TRUE(LoadDealFile(Path("a.pbn").c_str(), deals));
  ASSERT_EQ(deals.size(), 6u);
  std::string lines;
  double points = 0;
  for (size_t i = 0; i < deals.size(); ++i) {
    const int dealer = BoardDealer(3 + static_cast<int>(i));
    EXPECT_GE(HighCardPoints(deals[i], dealer), 20) << i;
    points += HighCardPoints(deals[i], dealer);
    // "n <north> e <east> s <south> w <west>"
    std::istringstream hands(FormatDealPbn(deals[i]).substr(2));
    std::string line, hand;
    for (const char* seat : {"n ", " e ", " s ", " w "}) {
      hands >> hand;
      line += seat + hand;
    }
    lines += line + "\n";
  }
  char average[64];
  std::snprintf(average, sizeof average, "points: %.2f\n", points / 6);
  EXPECT_EQ(out_.rfind(lines, 0), 0u) << out_;
  EXPECT_NE(out_.find("Produced 6 hands ("), std::string::npos);
  EXPECT_NE(out_.find(average), std::string::npos) << out_;
  // The same seed and script make the same set again; without a seed another one.
  const std::string first = Contents(Path("a.pbn"));
  ASSERT_EQ(Run("--generate --condition " + script + " --rotate --first-board 3" + kSeed +
                " --write pbn " + Path("b.pbn")),
            0);
  EXPECT_EQ(Contents(Path("b.pbn")), first);
  ASSERT_EQ(Run("--generate --condition " + script + " --rotate --first-board 3 --write pbn " +
                Path("c.pbn")),
            0);
  EXPECT_NE(Contents(Path("c.pbn")), first);
}

TEST_F(ConditionToolTest, AFaultyOrImpossibleScriptWritesNothing) {
  const std::string out = Path("out.pbn");
  const struct {
    std::string script;
    std::string options;
    int status;
    std::string err;  // after the script's path, or whole when it starts with the program
  } cases[] = {
      {"hcp(north) > 10 &&\n  tricks(north, spades) > 9", "", 2,
       ": line 2, column 3: 'tricks' is not supported\n"},
      {"generate 50000\nhcp(north) > 37", "", 1,
       "quadrelle-deals: no deal found after 50000 deals: the condition may be impossible\n"},
      {"generate 3000\nhcp(north) > 20", " --generate 9999", 1, "quadrelle-deals: only "},
      {"hcp(north) > 20", " --rotate", 2,
       "quadrelle-deals: --rotate needs a dealer statement in the script\n"},
      {"produce 10000\n", "", 2, "quadrelle-deals: the number of boards must be 1 to 9999"},
  };
  for (const auto& c : cases) {
    const std::string script = Write("s.dl", c.script);
    const std::string options =
        c.options.find("--generate") == std::string::npos ? " --generate" + c.options : c.options;
    EXPECT_EQ(Run(options + kSeed + " --condition " + script + " --write pbn " + out), c.status)
        << c.script;
    const std::string expected = c.err.rfind("quadrelle-deals", 0) == 0 ? c.err : script + c.err;
    EXPECT_EQ(err_.rfind(expected, 0), 0u) << err_;
    EXPECT_FALSE(std::filesystem::exists(out)) << c.script;
  }
}

}  // namespace
