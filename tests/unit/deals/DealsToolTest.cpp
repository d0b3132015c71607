// quadrelle-deals run as a program, the way directors use it.
#include <sys/resource.h>
#include <sys/wait.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "DealFileFixture.h"

namespace {

class DealsToolTest : public DealFileTest {
 protected:
  // Runs the program on the arguments; returns its exit status, fills out_ and err_.
  int Run(const std::string& arguments) {
    const std::string out = (dir_ / "stdout").string();
    const std::string err = (dir_ / "stderr").string();
    const std::string command =
        std::string("'") + QUADRELLE_DEALS_TOOL + "' " + arguments + " >" + out + " 2>" + err;
    const int status = std::system(command.c_str());
    out_ = Contents(out);
    err_ = Contents(err);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  static std::string Contents(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
  }

  std::string Path(const char* name) const { return (dir_ / name).string(); }

  std::string out_, err_;
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
  EXPECT_EQ(err_, "");
}

TEST_F(DealsToolTest, FailureGivesTheReasonOnStandardErrorAndStatusOne) {
  std::string bad = Record(OrderedDeal(), 156) + Record(OrderedDeal(), 156);
  bad.replace(156 + 10, 2, "99");
  const std::string cut = Write("cut.bri", std::string(255, '1'));
  const std::string card = Write("card.dup", bad);
  const std::string good = Write("good.bri", Record(OrderedDeal(), 128));
  EXPECT_EQ(Run(cut + " " + good + " " + card), 1);
  EXPECT_EQ(out_, "1\tN:AKQJT98765432... .AKQJT98765432.. ..AKQJT98765432. ...AKQJT98765432\n");
  EXPECT_EQ(err_, cut + ": File has wrong size 255\n" + card + ": Card out of range in deal 2\n");
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
  EXPECT_EQ(err_, "");
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

TEST_F(DealsToolTest, FullDiscLeavesTheOldFileEvenWhenItIsTheInput) {
  std::string records;
  for (int i = 0; i < 16; ++i) records += Record(i % 2 ? OrderedDeal() : DealtRoundDeal(), 128);
  ASSERT_EQ(Run("--write pbn " + Path("set.pbn") + " " + Write("set.bri", records)), 0);
  const std::string before = Contents(Path("set.pbn"));
  std::signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead of ending the program
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit full = saved;
  full.rlim_cur = 1024;  // the PBN text of 16 deals is larger
  setrlimit(RLIMIT_FSIZE, &full);
  const int status = Run("--write pbn " + Path("set.pbn") + " " + Path("set.pbn"));
  setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(err_, Path("set.pbn") + ": Error writing file\n");
  EXPECT_EQ(Contents(Path("set.pbn")), before);
  for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
    EXPECT_EQ(entry.path().string().find(".pbn."), std::string::npos) << entry.path();
  }
}

}  // namespace
