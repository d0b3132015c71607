#include <sstream>

#include "JobsFixture.h"
#include "StartTrigger.h"

namespace {

class StartTriggerTest : public JobsTest {
 protected:
  // Polls once per blank-separated tick of `answers`: one letter per command asked, tray first
  // (Y 40, N 41, E 90; "-" asks nothing). Returns per tick the signals ("T" tray, "B" button,
  // "." none) and "!" for an error result.
  std::string Run(StartTrigger& trigger, bool tray, const std::string& answers) {
    std::istringstream ticks(answers);
    std::string tick;
    std::string seen;
    while (ticks >> tick) {
      const size_t before = machine_.sent.size();
      size_t asked = 0;
      for (char answer : tick) {
        if (answer == '-') break;
        const char* command = asked++ == 0 && tray ? "TRAYSTAT" : "BUTSTAT";
        machine_.Queue(command, answer == 'Y' ? 40 : answer == 'N' ? 41 : 90, "");
      }
      std::string signals;
      const StartTrigger::Result result =
          trigger.Poll(machine_.Send(), [&](StartTrigger::Source source) {
            signals.push_back(source == StartTrigger::Source::kTray ? 'T' : 'B');
          });
      if (signals.empty()) signals.push_back('.');
      if (result != StartTrigger::Result::kOk) signals.push_back('!');
      EXPECT_EQ(machine_.sent.size() - before, asked) << tick;
      seen += (seen.empty() ? "" : " ") + signals;
    }
    return seen;
  }
};

TEST_F(StartTriggerTest, TrayDebounceAndButton) {
  struct Row {
    const char* name;
    bool button, tray;
    const char* answers;
    const char* signals;
  };
  const Row rows[] = {
      {"one tray 40 starts; another needs five 41 first", false, true, "Y Y N N N N Y N N N N N Y",
       "T . . . . . . . . . . . T"},
      {"every button 40 starts", true, false, "Y Y N Y", "B B . B"},
      {"tray asked before the button", true, true, "YY NY YN NN", "TB B . ."},
      {"an error ends the asking", true, true, "E NE YN", ".! .! T"},
      {"neither switched on", false, false, "- -", ". ."},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    int debounce = 0;
    StartTrigger trigger(debounce);
    trigger.Enable(row.button, row.tray);
    EXPECT_EQ(Run(trigger, row.tray, row.answers), row.signals);
  }
}

// Two pages of one kind share the debounce; the other kind has its own.
TEST_F(StartTriggerTest, DebounceIsSharedPerPageKind) {
  int deal_menus = 0;
  int split_pages = 0;
  StartTrigger first(deal_menus);
  StartTrigger second(deal_menus);
  StartTrigger other(split_pages);
  for (StartTrigger* trigger : {&first, &second, &other}) trigger->Enable(false, true);
  EXPECT_EQ(Run(first, true, "Y"), "T");
  EXPECT_EQ(Run(second, true, "Y"), ".");
  EXPECT_EQ(Run(other, true, "Y"), "T");
  EXPECT_EQ(deal_menus, StartTrigger::kTrayDebounce);
}

}  // namespace
