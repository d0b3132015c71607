#include <gtest/gtest.h>

#include <string>

#include "SimCards.h"
#include "SimControl.h"

namespace qsim {
namespace {

TEST(SimControl, LinesActOnTheMachineAndTheLink) {
  SimState state;
  const struct {
    const char* line;
    bool ok;
    bool (*check)(const SimState&);
  } cases[] = {
      {"button", true, [](const SimState& s) { return s.machine.ButtonLatched(); }},
      {"tray on", true, [](const SimState& s) { return s.machine.TrayCards(); }},
      {"tray off", true, [](const SimState& s) { return !s.machine.TrayCards(); }},
      {"tray full", false, [](const SimState& s) { return !s.machine.TrayCards(); }},
      {"cardbox out", true, [](const SimState& s) { return !s.machine.CardBox(); }},
      {"cardbox in", true, [](const SimState& s) { return s.machine.CardBox(); }},
      {"deck doubled HQ 3", true,
       [](const SimState& s) {
         return s.machine.options().deck.doubled == 16 && s.machine.options().deck.doubled_at == 3;
       }},
      {"deck missing zz", false,
       [](const SimState& s) { return s.machine.options().deck.missing == 0; }},
      {"barcode 5bar", true,
       [](const SimState& s) { return s.machine.options().deck.barcode == Barcode::k5Bar; }},
      {"cardtime 40", true, [](const SimState& s) { return s.machine.options().card_ms == 40u; }},
      {"cardtime 0", false, [](const SimState& s) { return s.machine.options().card_ms == 40u; }},
      {"fault late wrong-tn", true,
       [](const SimState& s) {
         return s.link.pending.size() == 2 && s.link.pending[0] == LinkFault::kLateReply &&
                s.link.pending[1] == LinkFault::kWrongTransmission;
       }},
      {"fault bogus", false, [](const SimState& s) { return s.link.pending.size() == 2; }},
      {"fault clear", true, [](const SimState& s) { return s.link.pending.empty(); }},
      {"late 2500", true, [](const SimState& s) { return s.link.late_ms == 2500u; }},
      {"stray log 3", true, [](const SimState& s) { return s.link.log_every == 3; }},
      {"stray userstatus 2", true, [](const SimState& s) { return s.link.userstatus_every == 2; }},
      {"stray junk 2", false, [](const SimState& s) { return s.link.log_every == 3; }},
      {"unplug", true, [](const SimState& s) { return !s.link.plugged; }},
      {"plug", true, [](const SimState& s) { return s.link.plugged; }},
      {"service 5,1200,40,-1,0,7", true,
       [](const SimState& s) {
         return s.machine.options().service.deals_life == 1200u &&
                s.machine.options().service.jams == -1;
       }},
      {"service reset", true,
       [](const SimState& s) { return s.machine.options().service.deals_since_service == 0u; }},
      {"service 1,2", false, [](const SimState&) { return true; }},
      {"jam 4", true, [](const SimState&) { return true; }},
      {"dance", false, [](const SimState&) { return true; }},
  };
  for (const auto& c : cases) {
    const ControlResult result = RunControlLine(state, c.line, 0);
    EXPECT_EQ(result.ok, c.ok) << c.line << ": " << result.text;
    EXPECT_FALSE(result.text.empty()) << c.line;
    EXPECT_TRUE(c.check(state)) << c.line;
  }
  EXPECT_TRUE(RunControlLine(state, "quit", 0).quit);
}

TEST(SimControl, PocketsPrintAsHandsAfterASort) {
  MachineOptions options;
  options.card_ms = 10;
  SimState state(options);
  // Spades to pocket 4, hearts to 3, diamonds to 2, clubs to 1.
  const std::string digits =
      std::string(13, '4') + std::string(13, '3') + std::string(13, '2') + std::string(13, '1');
  ASSERT_EQ(state.machine.Execute("SORT " + digits, 0).text, "00 OK");
  const ControlResult result = RunControlLine(state, "pockets", 1000);
  EXPECT_EQ(result.text,
            "pocket 1: ...AKQJT98765432 (13 cards)\n"
            "pocket 2: ..AKQJT98765432. (13 cards)\n"
            "pocket 3: .AKQJT98765432.. (13 cards)\n"
            "pocket 4: AKQJT98765432... (13 cards)\n");
  EXPECT_EQ(RunControlLine(state, "fed", 1000).text.substr(0, 9), "SA SK SQ ");
}

TEST(SimControl, JamLineMakesTheNextSortJam) {
  MachineOptions options;
  options.card_ms = 10;
  SimState state(options);
  ASSERT_TRUE(RunControlLine(state, "jam 3", 0).ok);
  ASSERT_EQ(state.machine.Execute("SORT " + std::string(52, '1'), 0).text, "00 OK");
  EXPECT_EQ(state.machine.Execute("STAT", 1000).text, "25 jam at card 4");
  EXPECT_NE(RunControlLine(state, "status", 1000).text.find("failed: 25 jam"), std::string::npos);
}

}  // namespace
}  // namespace qsim
