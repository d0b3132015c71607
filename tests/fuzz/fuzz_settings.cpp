// The settings store reading a hostile store file: the fuzzer's bytes are the INI file in a
// scratch configuration folder, and every value the program reads, and every value the file
// holds, is read as an integer and as text. A value read once must read the same again, must
// give the caller's default only as a whole (never half a number), and must survive being
// written back.
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <string>
#include <utility>
#include <vector>

#include "FuzzSupport.h"
#include "Settings.h"

// A stored variant may announce a length of gigabytes; Qt then asks for that much memory and
// copes when it does not get it. The sanitizer's allocator must say no the way a club's computer
// does (an ask for 19 GB, say), instead of granting it lazily and letting Qt fill it until the
// run is out of memory.
extern "C" const char* __asan_default_options() {
  return "allocator_may_return_null=1:max_allocation_size_mb=1024";
}

namespace {

// The values the pages read.
const std::pair<const char*, const char*> kKnownValues[] = {
    {"Parameters", "CardBarcode"},        {"Parameters", "DealOrder"},
    {"Parameters", "SortOrder"},          {"Parameters", "stopcard"},
    {"Parameters", "buttonstart"},        {"Parameters", "traystart"},
    {"Parameters", "dealvisible"},        {"Parameters", "justdealtvisible"},
    {"Parameters", "DealTool"},           {"Parameters", "PrintTool"},
    {"CardDistribution", "Filename"},     {"CardDistribution", "StartDeal"},
    {"CardDistribution", "NumberOfDeal"},
};

std::filesystem::path StoreFile() {
  static const std::filesystem::path file = [] {
    const std::filesystem::path dir = fuzz::ScratchDir() / "config";
    std::filesystem::create_directories(dir / kSettingsOrganization);
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    // Qt warns about every unknown type in a stored variant; millions of inputs need no such
    // lines.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(dir.string()));
    return dir / kSettingsOrganization / (std::string(kSettingsApplication) + ".conf");
  }();
  return file;
}

void ReadBothWays(const std::string& section, const std::string& name) {
  const char* s = section.c_str();
  const char* n = name.c_str();
  const int a = ReadSettingInt(s, n, 12345);
  const int b = ReadSettingInt(s, n, -777);
  if (a != b && (a != 12345 || b != -777)) fuzz::Fail("an integer read depends on its default");
  if (ReadSettingInt(s, n, 12345) != a) fuzz::Fail("an integer read twice differs");
  const std::string t = ReadSettingString(s, n, "\x01");
  const std::string u = ReadSettingString(s, n, "\x02");
  if (t != u && (t != "\x01" || u != "\x02")) fuzz::Fail("a text read depends on its default");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::QuietTrace();
  const std::filesystem::path file = StoreFile();
  fuzz::WriteFile(file, data, size);

  for (const auto& [section, name] : kKnownValues) ReadBothWays(section, name);

  // Every value the file holds, by its section and name (a bounded number of them).
  QStringList keys;
  {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, kSettingsOrganization,
                       kSettingsApplication);
    keys = settings.allKeys();
  }
  int looked_at = 0;
  for (const QString& key : keys) {
    if (++looked_at > 32) break;
    const qsizetype slash = key.indexOf(QLatin1Char('/'));
    if (slash <= 0) continue;  // values outside a section are never read by the program
    ReadBothWays(key.left(slash).toStdString(), key.mid(slash + 1).toStdString());
  }

  // What the parameters page does with a tool path and a number it read: store it again.
  const std::string tool = ReadSettingString("Parameters", "DealTool", "");
  const int barcode = ReadSettingInt("Parameters", "CardBarcode", -1);
  if (WriteSettingString("Parameters", "DealTool", tool.c_str()) &&
      ReadSettingString("Parameters", "DealTool", "\x01") != tool.c_str()) {
    fuzz::Fail("a text value did not survive being stored again");
  }
  if (WriteSettingInt("Parameters", "CardBarcode", barcode) &&
      ReadSettingInt("Parameters", "CardBarcode", barcode + 1) != barcode) {
    fuzz::Fail("an integer value did not survive being stored again");
  }
  std::filesystem::remove(file);
  return 0;
}
