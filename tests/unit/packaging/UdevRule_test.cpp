// The udev rule that gives the operator the machine's device nodes must name exactly the devices
// the link searches for; both follow MachineIds.h, and these tests keep the rule file in step.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "MachineIds.h"
#include "UdevRules.h"

namespace {

using udev_rules::Device;

const char kRulePath[] = QUADRELLE_UDEV_RULES;

std::string Hex(uint16_t id) {
  char text[8];
  std::snprintf(text, sizeof text, "%04x", id);  // as sysfs writes idVendor and idProduct
  return text;
}

std::string ReadRuleFile() {
  std::ifstream in(kRulePath);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// What the link opens: the HID machine through hidapi's hidraw nodes, the bulk machine through
// libusb's USB device nodes.
bool LinkOpens(uint16_t vendor, uint16_t product, const std::string& subsystem,
               const std::string& devtype) {
  if (vendor != machine_ids::kVendor) return false;
  if (subsystem == "hidraw") return machine_ids::IsHidProduct(product);
  if (subsystem == "usb" && devtype == "usb_device") return !machine_ids::IsHidProduct(product);
  return false;
}

// A hidraw node carries no USB ids itself; they sit on its USB ancestor.
Device Node(uint16_t vendor, uint16_t product, const std::string& subsystem,
            const std::string& devtype) {
  Device device;
  device.subsystem = subsystem;
  const std::map<std::string, std::string> ids = {{"idVendor", Hex(vendor)},
                                                  {"idProduct", Hex(product)}};
  if (subsystem == "usb" && devtype == "usb_device") {
    device.attrs = ids;
  } else {
    device.parent_attrs = ids;
  }
  if (!devtype.empty()) device.env["DEVTYPE"] = devtype;
  return device;
}

class UdevRuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    text_ = ReadRuleFile();
    ASSERT_FALSE(text_.empty()) << "cannot read " << kRulePath;
    file_ = udev_rules::Parse(text_);
    ASSERT_EQ(file_.error, "");
  }
  std::string text_;
  udev_rules::RuleFile file_;
};

TEST_F(UdevRuleTest, NamesExactlyTheVendorAndTheHidProducts) {
  std::set<std::string> vendors, products;
  for (const auto& rule : file_.rules) {
    for (const auto& token : rule) {
      std::set<std::string>* into = token.attr == "idVendor"    ? &vendors
                                    : token.attr == "idProduct" ? &products
                                                                : nullptr;
      if (into == nullptr) continue;
      std::stringstream alternatives(token.value);
      for (std::string one; std::getline(alternatives, one, '|');) into->insert(one);
    }
  }
  EXPECT_EQ(vendors, std::set<std::string>{Hex(machine_ids::kVendor)});
  EXPECT_EQ(products, (std::set<std::string>{Hex(machine_ids::kHidProduct1),
                                             Hex(machine_ids::kHidProduct2)}));
}

TEST_F(UdevRuleTest, GrantsTheSeatExactlyTheNodesTheLinkOpens) {
  struct Case {
    const char* what;
    uint16_t vendor;
    uint16_t product;
    const char* subsystem;
    const char* devtype;
  };
  const uint16_t v = machine_ids::kVendor;
  const Case cases[] = {
      {"HID machine, first product", v, machine_ids::kHidProduct1, "hidraw", ""},
      {"HID machine, second product", v, machine_ids::kHidProduct2, "hidraw", ""},
      {"HID machine's own USB node", v, machine_ids::kHidProduct1, "usb", "usb_device"},
      {"bulk machine", v, 0x0c9f, "usb", "usb_device"},
      {"bulk machine next to the HID products", v, machine_ids::kHidProduct2 + 1, "usb",
       "usb_device"},
      {"bulk machine's interface", v, 0x0c9f, "usb", "usb_interface"},
      {"another product of the vendor on hidraw", v, 0x0c9f, "hidraw", ""},
      {"another vendor with the HID product", 0x046d, machine_ids::kHidProduct1, "hidraw", ""},
      {"another vendor's USB device", 0x046d, 0xc52b, "usb", "usb_device"},
      {"a tty of the vendor", v, 0x0c9f, "tty", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto outcome =
        udev_rules::Apply(file_, Node(c.vendor, c.product, c.subsystem, c.devtype));
    ASSERT_EQ(outcome.error, "");
    EXPECT_EQ(outcome.tags.count("uaccess") == 1,
              LinkOpens(c.vendor, c.product, c.subsystem, c.devtype));
  }
}

TEST_F(UdevRuleTest, GrantsAccessOnlyThroughTheSeat) {
  // A MODE or GROUP would open the machine to every user instead of the one at the seat; the
  // evaluator rejects keys it does not know, so check that every rule applies cleanly.
  Device removed = Node(machine_ids::kVendor, machine_ids::kHidProduct1, "hidraw", "");
  removed.action = "remove";
  const auto outcome = udev_rules::Apply(file_, removed);
  EXPECT_EQ(outcome.error, "");
  EXPECT_TRUE(outcome.tags.empty());
  for (const char* key : {"MODE", "GROUP", "OWNER", "RUN"}) {
    EXPECT_EQ(text_.find(std::string(key) + "="), std::string::npos) << key;
  }
}

TEST(UdevRuleFile, SortsBeforeTheSeatRulesThatReadTheTag) {
  // 73-seat-late.rules turns the uaccess tag into an access list; a rule read after it is too
  // late for the node.
  const std::string path = kRulePath;
  const std::string name = path.substr(path.find_last_of('/') + 1);
  ASSERT_GE(name.size(), 3u);
  EXPECT_LT(name.substr(0, 2), "73");
  EXPECT_EQ(name.substr(name.size() - 6), ".rules");
}

TEST(UdevRuleParser, RejectsWhatUdevWouldNotRead) {
  const struct {
    const char* line;
    const char* error;
  } cases[] = {
      {R"(SUBSYSTEM=="usb" ATTR{idVendor}=="1781")", "line 1: expected ',' at column 18"},
      {R"(SUBSYSTEM==usb)", "line 1: expected a quoted value after SUBSYSTEM=="},
      {R"(SUBSYSTEM=="usb, TAG+="uaccess")", "line 1: expected ',' at column 24"},
      {R"(ATTR{idVendor=="1781")", "line 1: unclosed '{'"},
      {R"(SUBSYSTEM~"usb")", "line 1: expected an operator after SUBSYSTEM"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(udev_rules::Parse(c.line).error, c.error) << c.line;
  }
  EXPECT_EQ(udev_rules::Parse("# a comment\n\n  SUBSYSTEM==\"usb\", TAG+=\"uaccess\"\n").error, "");
}

TEST(UdevRuleEvaluator, MatchesLikeUdev) {
  EXPECT_TRUE(udev_rules::MatchPattern("3150|3151", "3151"));
  EXPECT_FALSE(udev_rules::MatchPattern("3150|3151", "315"));
  EXPECT_TRUE(udev_rules::MatchPattern("31*", "3152"));
  EXPECT_TRUE(udev_rules::MatchPattern("", ""));
  EXPECT_FALSE(udev_rules::MatchPattern("", "1781"));

  // ATTR reads only the device itself, ATTRS its ancestors too; a missing label is an error.
  Device hidraw = Node(0x1781, 0x3150, "hidraw", "");
  auto own = udev_rules::Parse(R"(ATTR{idVendor}=="1781", TAG+="own")"
                               "\n"
                               R"(ATTRS{idVendor}=="1781", TAG+="any")"
                               "\n"
                               R"(GOTO="nowhere")");
  ASSERT_EQ(own.error, "");
  const auto outcome = udev_rules::Apply(own, hidraw);
  EXPECT_EQ(outcome.tags, std::set<std::string>{"any"});
  EXPECT_EQ(outcome.error, "GOTO to a missing LABEL nowhere");
}

}  // namespace
