#include "SimMachine.h"

#include <cstdio>

#include "MachineStatus.h"
#include "SimCards.h"
#include "SimText.h"

namespace qsim {
namespace {

using namespace machine_status;

// True once `now` has reached `at` on a tick count that wraps.
bool Due(uint32_t now, uint32_t at) {
  return static_cast<int32_t>(now - at) >= 0;
}

Reply Ok() {
  return Reply::Text(kOk, "OK");
}
Reply Busy() {
  return Reply::Text(kBusy, "busy");
}
Reply BadParameter() {
  return Reply::Text(kBadCommunication, "bad parameter");
}

}  // namespace

Reply Reply::Text(int code, std::string_view words) {
  char digits[8];
  std::snprintf(digits, sizeof digits, "%02d ", code);
  Reply reply;
  reply.text = digits;
  reply.text += words;
  return reply;
}

Reply Reply::StatusOnly(uint8_t status) {
  Reply reply;
  reply.status_only = true;
  reply.status = status;
  return reply;
}

Machine::Machine(MachineOptions options) : options_(std::move(options)), random_(options_.seed) {}

Reply Machine::Execute(std::string_view line, uint32_t now) {
  Advance(now);
  const std::vector<std::string> words = SplitWords(line);
  if (words.empty()) {
    return Reply::Text(kBadCommunication, "unknown command");
  }
  const std::string verb = UpperCase(words[0]);
  if (verb == "STAT" && words.size() == 1) {
    return Stat();
  }
  if (verb == "BUTSTAT" && words.size() == 1) {
    const bool pressed = button_latched_;
    button_latched_ = false;
    return pressed ? Reply::Text(kYes, "YES") : Reply::Text(kNo, "NO");
  }
  if (verb == "TRAYSTAT" && words.size() == 1) {
    return tray_cards_ ? Reply::Text(kYes, "YES") : Reply::Text(kNo, "NO");
  }
  if (verb == "SORT") {
    return Sort(words, now);
  }
  if (verb == "SPLIT") {
    return Split(words, now);
  }
  if (verb == "BUTTONSTART") {
    Reply reply = OnOff(words, options_.buttonstart);
    Advance(now);  // switching a trigger off may let an armed job go
    return reply;
  }
  if (verb == "TRAYSTART") {
    Reply reply = OnOff(words, options_.traystart);
    Advance(now);
    return reply;
  }
  if (verb == "STOPCARD") {
    return OnOff(words, options_.stopcard);
  }
  if (verb == "BARCODE") {
    if (words.size() != 2) {
      return BadParameter();
    }
    const std::string kind = UpperCase(words[1]);
    if (kind == "5BAR") {
      options_.barcode = Barcode::k5Bar;
    } else if (kind == "7BAR") {
      options_.barcode = Barcode::k7Bar;
    } else {
      return BadParameter();
    }
    return Ok();
  }
  if (verb == "SERVICEINFO" && words.size() == 1) {
    const ServiceCounters& s = options_.service;
    char text[96];
    std::snprintf(text, sizeof text, "%u,%u,%u,%d,%d,%d", s.cards_fed, s.deals_life,
                  s.deals_since_service, s.jams, s.misreads, s.splits);
    return Reply::Text(kOk, text);
  }
  if (verb == "FEEDFEEDER" && words.size() == 1) {
    return Working() ? Busy() : Ok();
  }
  if (verb == "EXERCISE") {
    if (Working()) {
      return Busy();
    }
    return OnOff(words, exercising_);
  }
  if (verb == "FIRMWARE" && words.size() == 1) {
    return Reply::Text(kOk, options_.firmware);
  }
  return Reply::Text(kBadCommunication, "unknown command");
}

Reply Machine::OnOff(const std::vector<std::string>& words, bool& setting) {
  if (words.size() != 2) {
    return BadParameter();
  }
  const std::string value = UpperCase(words[1]);
  if (value == "ON") {
    setting = true;
  } else if (value == "OFF") {
    setting = false;
  } else {
    return BadParameter();
  }
  return Ok();
}

Reply Machine::Stat() {
  switch (phase_) {
    case Phase::kIdle:
      return Ok();
    case Phase::kArmed:
      return Reply::Text(kBusy, "waiting for start");
    case Phase::kRunning:
      return Busy();
    case Phase::kRemoval: {
      // The removal request is the firmware's message "00 Remove NN cards from P" carried as
      // the text of a code-0 reply.
      char text[64];
      std::snprintf(text, sizeof text, "00 Remove %02zu cards from %d", removal_count_ % 100,
                    removal_pocket_);
      return Reply::Text(kOk, text);
    }
    case Phase::kDone:
      return job_ == JobKind::kSplit ? Reply::Text(kOk, "Split done") : Ok();
    case Phase::kFailed:
      return fault_;
  }
  return Ok();
}

Reply Machine::Sort(const std::vector<std::string>& words, uint32_t now) {
  if (Working() || exercising_) {
    return Busy();
  }
  if (words.size() != 2 || words[1].size() != kCardsInDeck ||
      words[1].find_first_not_of("1234") != std::string::npos) {
    return BadParameter();
  }
  digits_ = words[1];
  StartJob(JobKind::kSort, now);
  return Ok();
}

Reply Machine::Split(const std::vector<std::string>& words, uint32_t now) {
  // The firmware acknowledges a split command with a STATUS packet alone; refusals carry text.
  if (Working() || exercising_) {
    return Busy();
  }
  if (words.size() != 2) {
    return BadParameter();
  }
  const std::string what = UpperCase(words[1]);
  if (what == "CONTINUE") {
    if (phase_ != Phase::kRemoval) {
      return Reply::Text(kBadCommunication, "no split to continue");
    }
    pockets_[removal_pocket_ - 1].clear();  // the operator has emptied it
    removal_pocket_ = 0;
    tray_cards_ = false;
    if (feeder_.empty()) {
      Finish();
    } else {
      phase_ = Phase::kArmed;
      Advance(now);
    }
    return Reply::StatusOnly(kOk);
  }
  if (what == "13" || what == "26") {
    capacity_ = what == "13" ? 13 : 26;
    StartJob(JobKind::kSplit, now);
    return Reply::StatusOnly(kOk);
  }
  return BadParameter();
}

void Machine::StartJob(JobKind kind, uint32_t now) {
  job_ = kind;
  for (auto& pocket : pockets_) {
    pocket.clear();  // the operator took the last job's cards out
  }
  fed_.clear();
  placed_in_.fill(0);
  occurrence_.fill(0);
  placed_ = 0;
  removal_pocket_ = 0;
  removal_count_ = 0;
  stop_card_due_ = false;
  stop_cards_ = 0;
  const std::vector<FeedCard> pile =
      BuildPile(options_.deck, kind == JobKind::kSplit ? options_.split_decks : 1, random_);
  feeder_.assign(pile.begin(), pile.end());
  phase_ = Phase::kArmed;
  TryTrigger(now);
}

void Machine::TryTrigger(uint32_t now) {
  if (phase_ != Phase::kArmed) {
    return;
  }
  const bool no_trigger = !options_.buttonstart && !options_.traystart;
  if (options_.buttonstart && button_latched_) {
    button_latched_ = false;  // the machine used this press itself
  } else if (!(options_.traystart && tray_cards_) && !no_trigger) {
    return;
  }
  tray_cards_ = false;  // cards in the tray go into the feeder
  Run(now);
}

void Machine::Run(uint32_t now) {
  phase_ = Phase::kRunning;
  next_due_ = now + options_.card_ms;
}

void Machine::Advance(uint32_t now) {
  TryTrigger(now);
  while (phase_ == Phase::kRunning && Due(now, next_due_)) {
    next_due_ += options_.card_ms;
    ReadCard();
  }
}

void Machine::ReadCard() {
  if (stop_card_due_) {
    stop_card_due_ = false;
    ++stop_cards_;
    Finish();
    return;
  }
  if (!options_.cardbox_inserted) {
    Fail(kCardboxMissing, "cardbox not inserted");
    return;
  }
  if (jam_after_ >= 0 && fed_.size() >= static_cast<size_t>(jam_after_)) {
    jam_after_ = -1;
    ++options_.service.jams;
    Fail(kJam, "jam at card " + std::to_string(fed_.size() + 1));
    return;
  }
  if (feeder_.empty()) {
    Fail(kFeedError, "feeder empty after " + std::to_string(fed_.size()) + " cards");
    return;
  }
  const FeedCard next = feeder_.front();
  if (next.barcode != options_.barcode) {
    ++options_.service.misreads;
    Fail(kInvalidBarcode, std::string("card barcode is not ") + BarcodeName(options_.barcode));
    return;
  }
  feeder_.pop_front();
  fed_.push_back(next.card);
  ++options_.service.cards_fed;
  const int card = next.card;

  if (job_ == JobKind::kSort) {
    if (placed_in_[card] != 0) {
      ++options_.service.misreads;
      Fail(kCardReadTwice,
           MachineCardName(card) + " already read in pocket " + std::to_string(placed_in_[card]));
      return;
    }
    const int pocket = digits_[card - 1] - '0';
    pockets_[pocket - 1].push_back(card);
    placed_in_[card] = pocket;
    ++placed_;
    if (feeder_.empty()) {
      if (placed_ < kCardsInDeck) {
        Fail(kFeedError, "feeder empty after " + std::to_string(fed_.size()) + " cards");
      } else if (options_.stopcard) {
        stop_card_due_ = true;  // one more card time for the stop card
      } else {
        Finish();
      }
    }
    return;
  }

  // Splitting: the first copy of a card goes to pocket 3, the second to pocket 2, any further
  // copy to pocket 1; a pocket that reaches the split count must be emptied.
  const int copies = occurrence_[card]++;
  const int pocket = copies == 0 ? 3 : (copies == 1 ? 2 : 1);
  pockets_[pocket - 1].push_back(card);
  if (pockets_[pocket - 1].size() >= capacity_) {
    phase_ = Phase::kRemoval;
    removal_pocket_ = pocket;
    removal_count_ = pockets_[pocket - 1].size();
    return;
  }
  if (feeder_.empty()) {
    Finish();
  }
}

void Machine::Fail(int code, const std::string& words) {
  phase_ = Phase::kFailed;
  fault_ = Reply::Text(code, words);
}

void Machine::Finish() {
  phase_ = Phase::kDone;
  if (job_ == JobKind::kSort) {
    ++options_.service.deals_life;
    ++options_.service.deals_since_service;
  } else if (job_ == JobKind::kSplit) {
    ++options_.service.splits;
  }
}

void Machine::PressButton(uint32_t now) {
  Advance(now);
  button_latched_ = true;
  Advance(now);
}

void Machine::SetTrayCards(bool present, uint32_t now) {
  Advance(now);
  tray_cards_ = present;
  Advance(now);
}

void Machine::SetCardBox(bool inserted, uint32_t now) {
  Advance(now);
  options_.cardbox_inserted = inserted;
}

std::string Machine::Describe() const {
  std::string text;
  const char* kind = job_ == JobKind::kSort ? "sort" : (job_ == JobKind::kSplit ? "split" : "");
  switch (phase_) {
    case Phase::kIdle:
      text = "idle";
      break;
    case Phase::kArmed:
      text = std::string(kind) + " waiting for the start button or the tray";
      break;
    case Phase::kRunning:
      text = std::string(kind) + " running, " + std::to_string(fed_.size()) + " cards read";
      break;
    case Phase::kRemoval:
      text = "split waiting: remove " + std::to_string(removal_count_) + " cards from pocket " +
             std::to_string(removal_pocket_);
      break;
    case Phase::kDone:
      text = std::string(kind) + " done";
      break;
    case Phase::kFailed:
      text = std::string(kind) + " failed: " + fault_.text;
      break;
  }
  text += "; feeder " + std::to_string(feeder_.size());
  text += "; pockets";
  for (const auto& pocket : pockets_) {
    text += ' ';
    text += std::to_string(pocket.size());
  }
  text += std::string("; barcode ") + BarcodeName(options_.barcode);
  text += options_.buttonstart ? "; buttonstart on" : "; buttonstart off";
  text += options_.traystart ? "; traystart on" : "; traystart off";
  text += options_.stopcard ? "; stopcard on" : "; stopcard off";
  text += button_latched_ ? "; button pressed" : "";
  text += tray_cards_ ? "; cards in tray" : "";
  text += options_.cardbox_inserted ? "" : "; cardbox out";
  text += exercising_ ? "; exercising" : "";
  return text;
}

}  // namespace qsim
