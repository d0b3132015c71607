#include "SimControl.h"

#include <cstdio>
#include <vector>

#include "SimCards.h"
#include "SimText.h"

namespace qsim {
namespace {

ControlResult Done(std::string text) {
  return {true, false, std::move(text) + "\n"};
}
ControlResult Wrong(std::string text) {
  return {false, false, std::move(text) + "\n"};
}

std::string Rest(std::string_view line, size_t words_to_skip) {
  size_t pos = 0;
  for (size_t i = 0; i < words_to_skip; ++i) {
    pos = line.find_first_not_of(" \t", pos);
    pos = line.find_first_of(" \t", pos == std::string_view::npos ? line.size() : pos);
    if (pos == std::string_view::npos) {
      return {};
    }
  }
  return std::string(line.substr(pos));
}

// "on"/"in" → 1, "off"/"out" → 0, else -1.
int Switch(const std::string& word, const char* on, const char* off) {
  const std::string upper = UpperCase(word);
  if (upper == UpperCase(on)) {
    return 1;
  }
  if (upper == UpperCase(off)) {
    return 0;
  }
  return -1;
}

ControlResult Service(SimState& state, const std::vector<std::string>& words) {
  ServiceCounters& s = state.machine.service();
  if (words.size() == 2 && UpperCase(words[1]) == "RESET") {
    s.deals_since_service = 0;
    return Done("deals since service set to 0");
  }
  if (words.size() == 2) {
    ServiceCounters read;
    char end = 0;
    if (std::sscanf(words[1].c_str(), "%u,%u,%u,%d,%d,%d%c", &read.cards_fed, &read.deals_life,
                    &read.deals_since_service, &read.jams, &read.misreads, &read.splits,
                    &end) == 6) {
      s = read;
      return Done("service counters set");
    }
  }
  return Wrong("service: say 'service reset' or 'service N,N,N,N,N,N'");
}

ControlResult Stray(SimState& state, const std::vector<std::string>& words) {
  if (words.size() == 3) {
    const auto every = ParseCount(words[2]);
    const std::string kind = UpperCase(words[1]);
    if (every && kind == "LOG") {
      state.link.log_every = *every;
      return Done("a LOG packet with every " + words[2] + ". reply");
    }
    if (every && kind == "USERSTATUS") {
      state.link.userstatus_every = *every;
      return Done("a USERSTATUS packet with every " + words[2] + ". reply");
    }
  }
  return Wrong("stray: say 'stray log N' or 'stray userstatus N' (0 for none)");
}

ControlResult Fault(SimState& state, const std::vector<std::string>& words) {
  if (words.size() == 2 && UpperCase(words[1]) == "CLEAR") {
    state.link.pending.clear();
    return Done("no link faults pending");
  }
  if (words.size() < 2) {
    return Wrong(
        "fault: say 'fault NAME...' with unplug-before, unplug-mid, late, wrong-tn, seq-gap, "
        "length, type; or 'fault clear'");
  }
  std::vector<LinkFault> faults;
  for (size_t i = 1; i < words.size(); ++i) {
    const auto fault = ParseLinkFault(words[i]);
    if (!fault) {
      return Wrong("fault: unknown fault " + words[i]);
    }
    faults.push_back(*fault);
  }
  state.link.pending.insert(state.link.pending.end(), faults.begin(), faults.end());
  return Done(std::to_string(state.link.pending.size()) + " link fault(s) pending");
}

}  // namespace

std::string PocketsText(const Machine& machine) {
  std::string text;
  for (int pocket = 1; pocket <= Machine::kPockets; ++pocket) {
    const std::vector<int>& cards = machine.Pocket(pocket);
    text += "pocket " + std::to_string(pocket) + ": " + HandText(cards) + " (" +
            std::to_string(cards.size()) + " cards)\n";
  }
  if (machine.StopCards() > 0) {
    text += "stop card in pocket 4\n";
  }
  return text;
}

const char* ControlHelp() {
  return "button                 press the start button\n"
         "tray on|off            put cards in the tray, or take them away\n"
         "cardbox in|out         insert or remove the card box (out: code 28)\n"
         "jam N|off              jam once after N cards of the job (code 25)\n"
         "deck full              a full deck in the feeder for each job\n"
         "deck missing CARD      a deck without CARD (e.g. HQ, R10, SA)\n"
         "deck doubled CARD [N]  a deck with CARD twice, the second at position N (code 14)\n"
         "deck shuffled|sorted   feeding order of the decks\n"
         "deck order C1 .. C52   an explicit feeding order\n"
         "barcode 5bar|7bar      barcode type printed on the cards (wrong type: code 16)\n"
         "cardtime MS            time to read one card\n"
         "splitdecks N           decks mixed in the feeder for a split job\n"
         "fault NAME...          faults for the next replies: unplug-before, unplug-mid, late,\n"
         "                       wrong-tn, seq-gap, length, type; 'fault clear' drops them\n"
         "late MS                how late a late reply comes\n"
         "stray log|userstatus N an unasked packet with every N-th reply (0: none)\n"
         "unplug, plug           pull the USB cable, put it back\n"
         "pockets                the pockets as hands\n"
         "fed                    the cards of the job in feeding order\n"
         "status                 what the machine is doing\n"
         "service reset          a service was done: deals since service back to 0\n"
         "service N,N,N,N,N,N    set the service counters\n"
         "quit                   end the simulator\n";
}

ControlResult RunControlLine(SimState& state, std::string_view line, uint32_t now) {
  const std::vector<std::string> words = SplitWords(line);
  if (words.empty()) {
    return {true, false, {}};
  }
  Machine& machine = state.machine;
  const std::string verb = UpperCase(words[0]);
  if ((verb == "BUTTON" || verb == "PRESS") && words.size() == 1) {
    machine.PressButton(now);
    return Done("start button pressed");
  }
  if (verb == "TRAY" && words.size() == 2 && Switch(words[1], "on", "off") >= 0) {
    const bool present = Switch(words[1], "on", "off") == 1;
    machine.SetTrayCards(present, now);
    return Done(present ? "cards in the tray" : "tray empty");
  }
  if (verb == "CARDBOX" && words.size() == 2 && Switch(words[1], "in", "out") >= 0) {
    const bool inserted = Switch(words[1], "in", "out") == 1;
    machine.SetCardBox(inserted, now);
    return Done(inserted ? "card box inserted" : "card box removed");
  }
  if (verb == "JAM" && words.size() == 2) {
    if (UpperCase(words[1]) == "OFF") {
      machine.JamAfter(-1);
      return Done("no jam");
    }
    if (const auto cards = ParseCount(words[1])) {
      machine.JamAfter(*cards);
      return Done("jam after " + words[1] + " cards");
    }
  }
  if (verb == "DECK") {
    const std::string error = ParseDeckSetup(Rest(line, 1), machine.deck());
    if (!error.empty()) {
      return Wrong(error);
    }
    return Done("deck: " + DescribeDeck(machine.deck()));
  }
  if (verb == "BARCODE" && words.size() == 2) {
    const std::string kind = UpperCase(words[1]);
    if (kind == "5BAR" || kind == "7BAR") {
      machine.deck().barcode = kind == "5BAR" ? Barcode::k5Bar : Barcode::k7Bar;
      return Done("cards carry " + kind + " barcodes");
    }
  }
  if (verb == "CARDTIME" && words.size() == 2) {
    if (const auto ms = ParseCount(words[1]); ms && *ms > 0) {
      machine.SetCardTime(static_cast<uint32_t>(*ms));
      return Done(words[1] + " ms per card");
    }
  }
  if (verb == "SPLITDECKS" && words.size() == 2) {
    if (const auto decks = ParseCount(words[1]); decks && *decks >= 1 && *decks <= 8) {
      machine.SetSplitDecks(*decks);
      return Done(words[1] + " decks for a split");
    }
  }
  if (verb == "FAULT") {
    return Fault(state, words);
  }
  if (verb == "LATE" && words.size() == 2) {
    if (const auto ms = ParseCount(words[1])) {
      state.link.late_ms = static_cast<uint32_t>(*ms);
      return Done("late replies come after " + words[1] + " ms");
    }
  }
  if (verb == "STRAY") {
    return Stray(state, words);
  }
  if (verb == "UNPLUG" && words.size() == 1) {
    state.link.plugged = false;
    return Done("unplugged");
  }
  if (verb == "PLUG" && words.size() == 1) {
    state.link.plugged = true;
    return Done("plugged in");
  }
  if (verb == "POCKETS" && words.size() == 1) {
    machine.Advance(now);
    return {true, false, PocketsText(machine)};
  }
  if (verb == "FED" && words.size() == 1) {
    machine.Advance(now);
    std::string text;
    for (int card : machine.FedCards()) {
      if (!text.empty()) {
        text += ' ';
      }
      text += BridgeCardName(card);
    }
    return Done(text.empty() ? "no cards read" : text);
  }
  if (verb == "STATUS" && words.size() == 1) {
    machine.Advance(now);
    return Done(machine.Describe() + (state.link.plugged ? "" : "; unplugged"));
  }
  if (verb == "SERVICE") {
    return Service(state, words);
  }
  if (verb == "HELP") {
    return {true, false, ControlHelp()};
  }
  if (verb == "QUIT" || verb == "EXIT") {
    return {true, true, "bye\n"};
  }
  return Wrong("not understood: '" + std::string(line) + "' (try help)");
}

}  // namespace qsim
