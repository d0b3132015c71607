#include <gtest/gtest.h>

#include <QSettings>
#include <climits>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "FirstStart.h"
#include "RunSections.h"
#include "ScratchFolder.h"
#include "ScratchRegistry.h"
#include "Settings.h"
#include "TestSystem.h"
#include "log.h"

namespace fs = std::filesystem;

namespace {

// Every test gets a store of its own in a fresh folder.
class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = MakeScratchFolder("quadrelle-settings");
    ASSERT_FALSE(dir_.empty());
    TraceSetStandardOutput(nullptr);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(dir_.string()));
#ifdef _WIN32
    registry_ = std::make_unique<ScratchRegistry>();
#endif
  }
  void TearDown() override {
#ifdef _WIN32
    registry_.reset();
#endif
    std::error_code ignored;
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(dir_, ignored);
  }

  fs::path StoreFile() const {
    return dir_ / "Mirelon Consulting" / "Quadrelle.conf";
  }

  void WriteStoreFile(const std::string& text) {
    fs::create_directories(StoreFile().parent_path());
    std::ofstream(StoreFile()) << text;
  }

  std::string ReadStoreFile() const {
    std::ifstream in(StoreFile());
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  fs::path dir_;
#ifdef _WIN32
  std::unique_ptr<ScratchRegistry> registry_;  // the store there
#endif
};

TEST_F(SettingsTest, MissingValuesYieldTheCallersDefault) {
  EXPECT_EQ(ReadSettingInt("Parameters", "CardBarcode", -1), -1);
  EXPECT_EQ(ReadSettingInt("CardDistribution", "StartDeal", 17), 17);
  EXPECT_EQ(ReadSettingString("Parameters", "DealTool", ""), "");
  EXPECT_EQ(ReadSettingString("DealMenu", "LastFile", "none"), "none");
  EXPECT_EQ(ReadSettingString("DealMenu", "LastFile", nullptr), "");

  // A value of another section or name is not a match.
  ASSERT_TRUE(WriteSettingInt("Split", "SplitCount", 1));
  EXPECT_EQ(ReadSettingInt("Parameters", "SplitCount", 5), 5);
  EXPECT_EQ(ReadSettingInt("Split", "splitcount2", 5), 5);
}

TEST_F(SettingsTest, IntegersRoundTrip) {
  for (int value : {0, 1, -1, 102, INT_MAX, INT_MIN}) {
    SCOPED_TRACE(value);
    ASSERT_TRUE(WriteSettingInt("Windowspos", "102_X", value));
    EXPECT_EQ(ReadSettingInt("Windowspos", "102_X", 12345), value);
  }
}

TEST_F(SettingsTest, TextsRoundTrip) {
  const char* texts[] = {
      "",
      "/home/op/deals/club night.bri",
      "C:\\deals\\week 12.dup",
      "a, b,c",  // the INI reader would take this for a list unless it was written quoted
      "key=value; #not a comment",
      "  blanks kept  ",
      "\"quoted\"",
      "caf\xc3\xa9",
  };
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    ASSERT_TRUE(WriteSettingString("Parameters", "DealTool", text));
    EXPECT_EQ(ReadSettingString("Parameters", "DealTool", "fallback"), text);
  }
}

TEST_F(SettingsTest, ValuesSurviveInTheStoreFileBySection) {
  QUADRELLE_SKIP_ON_WINDOWS("the store there is the registry, not this INI file");
  ASSERT_TRUE(WriteSettingInt("Windowspos", "102_X", 40));
  ASSERT_TRUE(WriteSettingString("CardDistribution", "Filename", "/tmp/x.bri"));
  const std::string file = ReadStoreFile();
  EXPECT_NE(file.find("[Windowspos]"), std::string::npos) << file;
  EXPECT_NE(file.find("102_X=40"), std::string::npos) << file;
  EXPECT_NE(file.find("[CardDistribution]"), std::string::npos) << file;
  EXPECT_NE(file.find("Filename=/tmp/x.bri"), std::string::npos) << file;
}

TEST_F(SettingsTest, ValuesThatAreNotOfTheAskedTypeYieldTheDefault) {
  QUADRELLE_SKIP_ON_WINDOWS("the store there is the registry, not this INI file");
  WriteStoreFile(
      "[Parameters]\n"
      "word=abc\n"
      "tail=12abc\n"
      "fraction=1.5\n"
      "empty=\n"
      "huge=99999999999\n"
      "list=1,2\n"
      "bytes=@ByteArray(12)\n"
      "good=-7\n"
      "padded= 42 \n");
  struct Case {
    const char* name;
    int expected;
  } cases[] = {
      {"word", 99}, {"tail", 99},  {"fraction", 99}, {"empty", 99},  {"huge", 99},
      {"list", 99}, {"bytes", 99}, {"good", -7},     {"padded", 42},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ReadSettingInt("Parameters", c.name, 99), c.expected);
  }
  EXPECT_EQ(ReadSettingString("Parameters", "list", "dflt"), "dflt");
  EXPECT_EQ(ReadSettingString("Parameters", "bytes", "dflt"), "dflt");
  EXPECT_EQ(ReadSettingString("Parameters", "word", "dflt"), "abc");
}

TEST_F(SettingsTest, AWriteThatCannotReachTheStoreIsReportedAndLeavesNoTrace) {
  QUADRELLE_SKIP_ON_WINDOWS("the store there is the registry, not this INI file");
  ASSERT_TRUE(WriteSettingInt("Split", "SplitCount", 1));
  // A folder where the store file must go: no rename or write can replace it, even as root.
  fs::remove(StoreFile());
  fs::create_directories(StoreFile());

  TraceCapture capture;
  EXPECT_FALSE(WriteSettingInt("Split", "SplitCount", 2));
  EXPECT_FALSE(WriteSettingString("DealMenu", "LastFile", "/tmp/a.bri"));
  EXPECT_TRUE(capture.Contains('W', "Setting Split SplitCount not stored\n"));
  EXPECT_TRUE(capture.Contains('W', "Setting DealMenu LastFile not stored\n"));

  // The failed values are not shown to later readers as if they had been stored.
  EXPECT_NE(ReadSettingInt("Split", "SplitCount", -1), 2);
  EXPECT_EQ(ReadSettingString("DealMenu", "LastFile", "none"), "none");
}

TEST_F(SettingsTest, AStoreFileWithUnreadableLinesStillTakesNewValues) {
  QUADRELLE_SKIP_ON_WINDOWS("the store there is the registry, not this INI file");
  WriteStoreFile("[Parameters\n\x01\x02garbage\n=x\n[]\nstopcard=1\n");
  EXPECT_TRUE(WriteSettingInt("Parameters", "SortOrder", 2));
  EXPECT_EQ(ReadSettingInt("Parameters", "SortOrder", 9), 2);
  EXPECT_NE(ReadStoreFile().find("SortOrder=2"), std::string::npos) << ReadStoreFile();
}

// A new operator's store gets the parameters' first-start values at once; a store that has
// values, even other ones, is never touched.
TEST_F(SettingsTest, FirstStartDefaultsFillOnlyAnEmptyStore) {
  ASSERT_TRUE(StoreFirstStartDefaults());
  for (const ParameterDefault& entry : kParameterDefaults) {
    EXPECT_EQ(ReadSettingInt("Parameters", entry.name, -1), entry.value) << entry.name;
  }
  EXPECT_EQ(ReadSettingInt("Parameters", "buttonstart", -1), 1);
  EXPECT_EQ(ReadSettingInt("Parameters", "traystart", -1), 1);
  for (const char* tool : {"DealTool", "PrintTool"}) {
    EXPECT_EQ(ReadSettingString("Parameters", tool, "missing"), "") << tool;
  }
  EXPECT_FALSE(StoreFirstStartDefaults());

  ASSERT_TRUE(WriteSettingInt("Parameters", "CardBarcode", 1));
  ASSERT_TRUE(WriteSettingInt("Parameters", "buttonstart", 0));
  ASSERT_TRUE(WriteSettingString("Parameters", "DealTool", "/usr/bin/dealer"));
  EXPECT_FALSE(StoreFirstStartDefaults());
  EXPECT_EQ(ReadSettingInt("Parameters", "CardBarcode", -1), 1);
  EXPECT_EQ(ReadSettingInt("Parameters", "buttonstart", -1), 0);
  EXPECT_EQ(ReadSettingString("Parameters", "DealTool", ""), "/usr/bin/dealer");
}

// Two windows for two machines and one without a machine: each keeps its file and copies, the
// parameters are the same for all, and the store without a machine looks as it always did.
TEST_F(SettingsTest, RunValuesArePerMachineAndParametersShared) {
  QUADRELLE_SKIP_ON_WINDOWS("the store there is the registry, not this INI file");
  const struct {
    const char* machine;
    const char* file;
    const char* copies;
  } copies[] = {{"", "plain.bri", "1"}, {"42", "room-a.dup", "2"}, {"43", "room-b.pbn", "3"}};
  for (const auto& c : copies) {
    SetRunSettingsMachine(c.machine);
    ASSERT_TRUE(WriteSettingString(CardDistributionSection(), "Filename", c.file));
    ASSERT_TRUE(WriteSettingString(DealMenuSection(), "NumberOfCopies", c.copies));
    ASSERT_TRUE(WriteSettingInt("Parameters", "DealOrder", c.copies[0] - '0'));
  }
  for (const auto& c : copies) {
    SetRunSettingsMachine(c.machine);
    EXPECT_EQ(ReadSettingString(CardDistributionSection(), "Filename", ""), c.file);
    EXPECT_EQ(ReadSettingString(DealMenuSection(), "NumberOfCopies", ""), c.copies);
    EXPECT_EQ(ReadSettingInt("Parameters", "DealOrder", 0), 3);
  }
  SetRunSettingsMachine("");
  EXPECT_EQ(ReadSettingString("CardDistribution", "Filename", ""), "plain.bri");
  const std::string store = ReadStoreFile();
  EXPECT_NE(store.find("[CardDistribution]\nFilename=plain.bri"), std::string::npos) << store;
  EXPECT_NE(store.find("[Machine-42]"), std::string::npos) << store;
}

}  // namespace
