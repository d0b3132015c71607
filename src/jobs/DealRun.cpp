#include "DealRun.h"

#include <cstdint>
#include <cstdio>

#include "CardDescription.h"
#include "MachineStatus.h"
#include "clock.h"

namespace {

std::string Format(const char* format, int a, int b = 0) {
  char text[64];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

}  // namespace

DealRun::DealRun(JobShared& shared) : shared_(shared), trigger_(shared.tray_debounce) {}

JobShared& DealRun::Shared() {
  static JobShared shared;
  return shared;
}

void DealRun::Begin(const Settings& settings) {
  // The counter moves on only when a sort is reported done, so here it names the first send of
  // the run left that was not completed.
  if (!file_name_.empty() && RangeInDealSet()) {
    left_key_ = Key();
    left_counter_ = deal_counter_;
  }
  settings_ = settings;
  trigger_.Enable(settings.button_start != 0, settings.tray_start != 0);
  state_ = State::Idle;
  deal_counter_ = 1;
  // A start pressed before the page was last hidden (the machine went away) is not carried
  // over: the operator presses again once the cards are in place.
  start_request_ = false;
  adjust_confirmed_ = false;
}

std::string DealRun::Summary() const {
  std::string summary;
  summary += settings_.card_barcode != 0 ? "5BAR\r\n" : "7BAR\r\n";
  summary += settings_.deal_order != 0 ? "D1,D2,D3\r\n" : "D1,D1,D1\r\n";
  if (const SortOrder* order = FindSortOrder(settings_.sort_order)) {
    summary += order->name;
    summary += "\r\n";
  }
  summary += settings_.stop_card != 0 ? "Stopcard\r\n" : "NO stopcard\r\n";
  summary += settings_.button_start != 0 ? "ButtonStart ON\r\n" : "ButtonStart OFF\r\n";
  summary += settings_.tray_start != 0 ? "TrayStart ON\r\n" : "TrayStart OFF\r\n";
  return summary;
}

void DealRun::FileMissing() {
  load_failed_ = false;
  deals_.clear();
}

void DealRun::FileUnreadable() {
  load_failed_ = true;
  deals_.clear();
}

void DealRun::FileLoaded(DealSet deals, int start_deal, int number_of_deal) {
  load_failed_ = false;
  deals_ = std::move(deals);
  start_deal_ = start_deal;
  number_of_deal_ = number_of_deal;
}

DealRun::RunKey DealRun::Key() const {
  return RunKey{file_name_,        start_deal_,          number_of_deal_,
                number_of_copies_, settings_.deal_order, settings_.sort_order};
}

int DealRun::ResumeSameRun(const std::string& file_name) {
  file_name_ = file_name;
  if (state_ != State::Idle || !RangeInDealSet() || !(Key() == left_key_) || left_counter_ <= 1 ||
      left_counter_ > Total()) {
    return 0;
  }
  deal_counter_ = left_counter_;
  return deal_counter_;
}

bool DealRun::Reset() {
  if (state_ != State::Idle) {
    return false;
  }
  deal_counter_ = 1;
  return true;
}

void DealRun::SetCopies(const std::string& text) {
  deal_counter_ = 1;
  unsigned copies = 0;
  number_of_copies_ = std::sscanf(text.c_str(), "%u", &copies) == 1 && copies <= INT32_MAX
                          ? static_cast<int>(copies)
                          : -1;
}

bool DealRun::RangeUsable() const {
  return start_deal_ >= 1 && number_of_copies_ >= 1 && number_of_deal_ >= 1;
}

// The file may have changed since its range was chosen: the last deal of the range must be in
// the set the page loaded.
bool DealRun::RangeInDealSet() const {
  const int64_t last = int64_t{start_deal_} + number_of_deal_ - 1;
  return RangeUsable() && last <= static_cast<int64_t>(deals_.size());
}

int DealRun::Total() const {
  const int64_t total = int64_t{number_of_copies_} * number_of_deal_;
  return total > INT32_MAX ? INT32_MAX : static_cast<int>(total);
}

void DealRun::CopyAndPosition(int counter, int& copy, int& position) const {
  const int i = counter - 1;
  if (settings_.deal_order != 0) {
    copy = i / number_of_deal_;
    position = i % number_of_deal_;
  } else {
    copy = i % number_of_copies_;
    position = i / number_of_copies_;
  }
}

DealRun::View DealRun::Controls() const {
  View view;
  if (load_failed_) {
    view.info_line = "Format error in file";
  } else if (!RangeUsable()) {
    view.info_line = "--";
  } else if (!RangeInDealSet()) {
    // Never send a deal the file does not hold; tell the operator why nothing starts.
    if (deals_.empty()) {
      view.info_line = "No deals loaded";
    } else {
      char text[128];
      std::snprintf(text, sizeof text, "Deals %i to %i: the file has %u deal(s)", start_deal_,
                    start_deal_ + number_of_deal_ - 1, static_cast<unsigned>(deals_.size()));
      view.info_line = text;
    }
  } else {
    view.startable = true;
    char text[64];
    std::snprintf(text, sizeof text, "A total of %u deal(s)", static_cast<unsigned>(Total()));
    view.info_line = text;
  }
  view.at_first = deal_counter_ == 1;
  if (!RangeUsable()) {
    return view;
  }
  int copy = 0;
  int position = 0;
  CopyAndPosition(deal_counter_, copy, position);
  view.counted = true;
  view.deal_text = Format("Deal #%i/%i", position + 1, number_of_deal_);
  view.copy_text = Format("Copy #%i/%i", copy + 1, number_of_copies_);
  view.offset_text = start_deal_ != 1 ? Format("Offset %i", start_deal_) : std::string();
  const int64_t number = int64_t{start_deal_} + position;
  // A number past the loaded set shows no deal rather than one that is not there.
  view.show_deal = number <= static_cast<int64_t>(deals_.size()) ? static_cast<int>(number) : 0;
  return view;
}

StartTrigger::Result DealRun::PollTriggers(const SendCommand& send) {
  return trigger_.Poll(send, [this](StartTrigger::Source) { start_request_ = true; });
}

// A start the run cannot carry out safely is refused with the reason; the run stays where it is.
std::string DealRun::Refusal() const {
  char text[200];
  if (FindSortOrder(settings_.sort_order) == nullptr) {
    std::snprintf(text, sizeof text,
                  "Sort order %i is unknown: no deal is sent.\nChoose the sort order on the "
                  "Parameters page.",
                  settings_.sort_order);
  } else if (!RangeUsable()) {
    std::snprintf(text, sizeof text,
                  "Set the first deal, the number of deals and the number of copies before "
                  "dealing.");
  } else if (!RangeInDealSet()) {
    std::snprintf(text, sizeof text,
                  "Deals %i to %i are not all in the deal file (%u deal(s)): no deal is sent.\n"
                  "Choose the range again on the Card distribution page.",
                  start_deal_, start_deal_ + number_of_deal_ - 1,
                  static_cast<unsigned>(deals_.size()));
  } else {
    return std::string();
  }
  return text;
}

DealRun::Start DealRun::TakeStart(int current_deal) {
  start_request_ = false;
  adjust_confirmed_ = false;
  Start start;
  start.refusal = Refusal();
  if (!start.refusal.empty()) {
    return start;
  }
  start.deal_index = current_deal;
  if (current_deal < 0 || static_cast<size_t>(current_deal) >= deals_.size()) {
    start.deal_missing = true;
    return start;
  }
  int copy = 0;
  int position = 0;
  CopyAndPosition(deal_counter_, copy, position);
  const Deal& deal = deals_[static_cast<size_t>(current_deal)];
  start.order = FindSortOrder(settings_.sort_order);
  for (int pocket = 1; pocket <= 4; ++pocket) {
    start.hands[pocket] = SuitTexts(deal, start.order->pocket_hand[pocket]);
  }
  start.deal_text = Format("Deal #%i/%i", current_deal - start_deal_ + 2, number_of_deal_);
  start.copy_text = Format("Copy #%i/%i", copy + 1, number_of_copies_);
  start.pockets = PocketText(deal, settings_.sort_order, &start.bad_card);
  if (start.pockets.find('0') != std::string::npos) {
    start.corrupt = true;
    state_ = State::Idle;
    deal_counter_ = 1;
  }
  return start;
}

bool DealRun::Sort(const Start& start, const SendCommand& send) {
  std::string reply;
  const std::string command = "SORT " + start.pockets;
  // Nothing of this deal was dealt when the machine refuses: the next start sends it again.
  // Going back to the first deal would have the operator deal the boards already dealt twice.
  const int code = send(command.c_str(), reply);
  const bool taken = code == machine_status::kOk || code == machine_status::kExchangeFailed;
  state_ = taken ? State::Sorting : State::Idle;
  link_lost_ = code == machine_status::kExchangeFailed;
  sort_taken_at_ = qclock::GetTickCount();
  return taken;
}

DealRun::Poll DealRun::PollSorting(const SendCommand& send) {
  Poll poll;
  if (!PollDue(shared_.next_poll)) {
    return poll;
  }
  poll.code = send("STAT", poll.reply);
  if (poll.code == machine_status::kOk) {
    state_ = State::Idle;
    // The machine may have lost power with the cable, or been fed again: only the operator,
    // looking at the pockets, knows whether this deck went through whole.
    poll.kind = link_lost_ ? Poll::kAskCount : CountDeck(true);
    return poll;
  }
  poll.shown_reply = CardDescription(poll.reply);
  const bool exchange_failed = ExchangeFailed(poll.code);
  if (poll.code == machine_status::kBusy || exchange_failed) {
    link_lost_ = link_lost_ || exchange_failed;
    poll.kind = exchange_failed ? Poll::kLinkLost : Poll::kBusy;
    if (qclock::GetTickCount() - sort_taken_at_ >= kSortLimitMs) {
      state_ = State::Idle;
      poll.kind = Poll::kTimedOut;
    }
    return poll;
  }
  state_ = State::Idle;
  poll.kind = Poll::kFailed;
  return poll;
}

DealRun::Poll::Kind DealRun::CountDeck(bool dealt) {
  link_lost_ = false;
  if (!dealt) {
    return Poll::kFailed;
  }
  if (deal_counter_ < Total()) {
    ++deal_counter_;
    return Poll::kDealDone;
  }
  deal_counter_ = 1;
  return Poll::kRunDone;
}

std::string DealRun::DeckText() const {
  const View view = Controls();
  return view.deal_text + ", " + view.copy_text;
}

const char* DealRun::AdjustQuestion(bool forward) const {
  if (adjust_confirmed_) {
    return nullptr;
  }
  return forward
             ? "Beware when adjusting this. This will change starting point. Really want to do it ?"
             : "Beware when adjusting this. Really want to do it";
}

void DealRun::Step(bool forward) {
  if (forward && deal_counter_ < Total()) {
    ++deal_counter_;
  } else if (!forward && deal_counter_ > 1) {
    --deal_counter_;
  }
}
