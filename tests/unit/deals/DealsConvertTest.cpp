// quadrelle-deals --write, run as a program the way directors convert their files.
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "DealFiles.h"

namespace {

class DealsConvertTest : public DealFileTest {
 protected:
  // Runs the program; returns its exit status and fills out_ and err_.
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

TEST_F(DealsConvertTest, ConvertsEachFormatIntoEveryOtherWithTheSameDeals) {
  // North in descending order: a BRI file need not sort its hands.
  const std::string bri =
      Write("in.bri", Record(DealtRoundDeal(), 128) + Record(OrderedDeal(), 128));
  ASSERT_EQ(Run(bri), 0);
  const std::string listed = out_;
  ASSERT_EQ(listed.size(), 2u * 72);

  ASSERT_EQ(Run("--write pbn " + Path("a.pbn") + " " + bri), 0);
  EXPECT_EQ(out_ + err_, "");
  ASSERT_EQ(Run("--write DUP " + Path("b.dup") + " " + Path("a.pbn")), 0);
  ASSERT_EQ(Run("--write bri " + Path("c.bri") + " " + Path("b.dup")), 0);
  for (const char* name : {"a.pbn", "b.dup", "c.bri"}) {
    ASSERT_EQ(Run(Path(name)), 0) << err_;
    EXPECT_EQ(out_, listed) << name;
  }
  // The PBN file named the boards; the records are whole records.
  EXPECT_NE(Contents(Path("a.pbn")).find("[Board \"2\"]\r\n[Dealer \"E\"]\r\n"), std::string::npos);
  EXPECT_EQ(Contents(Path("b.dup")).size(), 312u);
  EXPECT_EQ(Contents(Path("c.bri")).size(), 256u);
}

TEST_F(DealsConvertTest, FailuresGiveTheReasonAndWriteNothing) {
  const std::string good = Write("good.bri", Record(OrderedDeal(), 128));
  const std::string bad = Write("bad.pbn", "[Board \"1\"]\n");
  const std::string out = Path("out.pbn");
  EXPECT_EQ(Run("--write pbn " + out + " " + bad), 1);
  EXPECT_EQ(err_, bad + ": No deal tag in deal 1\n");
  EXPECT_EQ(Run("--write pbn " + Path("none/out.pbn") + " " + good), 1);
  EXPECT_EQ(err_, Path("none/out.pbn") + ": Error creating file\n");
  EXPECT_FALSE(std::filesystem::exists(out));

  EXPECT_EQ(Run("--write txt " + out + " " + good), 2);
  EXPECT_NE(err_.find("unknown format txt"), std::string::npos);
  EXPECT_EQ(Run("--write pbn " + out), 2);
  EXPECT_EQ(Run("--write pbn " + out + " " + good + " " + good), 2);
  EXPECT_FALSE(std::filesystem::exists(out));
}

}  // namespace
