// The dealing run of the deal menu: one start deals one copy of one deal of the chosen range;
// the run counts on through every copy of every deal in the chosen deal order.
//
// A plain model: it takes the deal set, the range and the settings values, sends through the
// command call it is handed, and says what the page must show, send or ask. It never touches a
// widget, the settings store or the trace log; the page writes the trace lines.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "DealSet.h"
#include "JobCommon.h"
#include "Pockets.h"
#include "StartTrigger.h"

class DealRun {
 public:
  enum class State { Idle, Sorting };

  // Copies of the "Parameters" settings, read at every show.
  struct Settings {
    int card_barcode = 0;
    int deal_order = 0;  // 0: all copies of a deal first ("D1,D1,D1"); else the range per copy
    int sort_order = 0;
    int stop_card = 0;
    int button_start = 0;
    int tray_start = 0;
  };

  // What the controls show in Idle and what the viewer shows in any state.
  struct View {
    std::string info_line;   // "A total of %u deal(s)", or why nothing can be started
    bool startable = false;  // Start/Next and the viewer's arrows enabled
    bool at_first = true;    // counter 1: "Start" and Reset disabled; else "Next" and Reset
    bool counted = false;    // the range is usable: the texts below come from the counter
    std::string deal_text = "--";
    std::string copy_text = "--";
    std::string offset_text = "--";  // empty for StartDeal 1
    int show_deal = 1;  // 1-based number of the deal to show; 0 when it lies past the set
  };

  // What a start found, in the order the page shows and sends it.
  struct Start {
    std::string refusal;        // non-empty: nothing is sent, the operator is told this
    int deal_index = -1;        // 0-based index in the deal set (the viewer's current deal)
    bool deal_missing = false;  // that index lies outside the set: nothing is sent
    const SortOrder* order = nullptr;
    std::array<std::array<std::string, 4>, 5> hands;  // suit texts by pocket 1..4
    std::string deal_text;                            // "Deal #%i/%i"
    std::string copy_text;                            // "Copy #%i/%i"
    std::string pockets;                              // the 52 digits
    bool bad_card = false;  // a card number outside 1..52 stopped the pocket text
    bool corrupt = false;   // a pocket digit is missing: the run went back to its first deal
  };

  // What a status poll found.
  struct Poll {
    // kLinkLost: the exchange failed (90, 91): the deck may be in the machine still, so the run
    // goes on sorting. kTimedOut: the deck was not done kSortLimitMs after the machine took it:
    // Idle, as after a failure. kAskCount: done, but the link failed while the deck was in the
    // machine: Idle, and the operator says whether it counts (CountDeck).
    enum Kind {
      kNotDue,
      kDealDone,
      kRunDone,
      kBusy,
      kFailed,
      kLinkLost,
      kTimedOut,
      kAskCount
    } kind = kNotDue;
    int code = 0;
    std::string reply;        // the reply text as received
    std::string shown_reply;  // the same, a card read twice turned into words
  };

  // `shared` is the page kind's process-wide set (Shared() by default); it must outlive the run.
  explicit DealRun(JobShared& shared = Shared());
  static JobShared& Shared();

  // A show: Idle, counter 1, no start pending, adjustment to be confirmed again; the triggers
  // as the settings say. Where the run stood is kept for ResumeSameRun.
  void Begin(const Settings& settings);
  // After a show has loaded the file and set the copies: a run that was left part-way (the
  // machine went away, the operator went to another page, a sort failed) goes on at the first
  // deal and copy whose sort was not completed, when the file, the range, the copies, the deal
  // order and the sort order are those it had. Returns the counter it resumed at, or 0 when the
  // run starts at its beginning.
  int ResumeSameRun(const std::string& file_name);
  // The settings summary, one line each ending in "\r\n"; an unknown sort order adds no line.
  std::string Summary() const;
  // The file named in the settings is missing (no deals) or unreadable (no deals, and the info
  // line says so), or loaded with the stored range (StartDeal, NumberOfDeal; -1 when not set).
  void FileMissing();
  void FileUnreadable();
  void FileLoaded(DealSet deals, int start_deal, int number_of_deal);
  // The copies field changed: counter 1; the copies are its unsigned decimal value, or -1 when
  // it does not parse.
  void SetCopies(const std::string& text);

  View Controls() const;

  // Starts: the page's button, or a signal of the machine seen by PollTriggers.
  void RequestStart() { start_request_ = true; }
  // Drops a pending start the page cannot carry out (the machine's settings were not taken).
  void DropStart() { start_request_ = false; }
  bool StartRequested() const { return start_request_; }
  StartTrigger::Result PollTriggers(const SendCommand& send);
  // Takes the pending start for the deal `current_deal` (0-based; the viewer's): clears the
  // request and the adjustment confirmation and finds what to send. A corrupt pocket text puts
  // the run back to Idle at counter 1.
  Start TakeStart(int current_deal);
  // Sends "SORT" with the start's pocket text: true (Sorting) on 0; false (Idle, counter kept,
  // so the next start sends the same deal again) when the machine refused it or there is no
  // machine. A failed exchange (90) is Sorting too, with the link taken as lost: the machine may
  // have taken the deck, and only STAT can tell.
  bool Sort(const Start& start, const SendCommand& send);

  // In Sorting: "STAT" when due (at most every 100 ms). 0 ends the deal and counts on (back to 1
  // after the last), 1 keeps sorting, a failed exchange keeps sorting too (see Poll), anything
  // else fails the deal and keeps the counter.
  Poll PollSorting(const SendCommand& send);
  // After kAskCount: the operator's answer. True counts the deck as dealt and counts on
  // (kDealDone or kRunDone, as a poll would have said); false leaves the counter, so the next
  // start deals it again (kFailed).
  Poll::Kind CountDeck(bool dealt);
  // The deck that the machine holds, or held last: "Deal #k/n, Copy #c/m".
  std::string DeckText() const;

  // Moving the counter by hand, one forward or back. The question to ask first (nullptr when it
  // was already confirmed since the last start or show), its confirmation, and the step, which
  // stops at the total and at 1.
  const char* AdjustQuestion(bool forward) const;
  void ConfirmAdjustment() { adjust_confirmed_ = true; }
  void Step(bool forward);
  static constexpr const char* kResetQuestion = "Really want to reset ?";
  // Back to the first deal of the run; refused (false, nothing changed) while a deal is being
  // sorted, since the finished sort would count on from where the reset left it.
  bool Reset();
  // Steps too are refused while sorting.
  bool CanAdjust() const { return state_ == State::Idle; }

  State state() const { return state_; }
  const Settings& settings() const { return settings_; }
  int DealCounter() const { return deal_counter_; }
  int NumberOfCopies() const { return number_of_copies_; }
  const DealSet& Deals() const { return deals_; }
  // Copies times deals, at most INT32_MAX.
  int Total() const;
  // The 0-based copy and position in the range of the send numbered `counter` (1-based).
  void CopyAndPosition(int counter, int& copy, int& position) const;

 private:
  bool RangeUsable() const;
  bool RangeInDealSet() const;
  std::string Refusal() const;

  // What identifies a run, for resuming it after a show.
  struct RunKey {
    std::string file_name;
    int start_deal = -1;
    int number_of_deal = -1;
    int copies = -1;
    int deal_order = 0;
    int sort_order = 0;
    bool operator==(const RunKey&) const = default;
  };
  RunKey Key() const;

  JobShared& shared_;
  StartTrigger trigger_;
  Settings settings_;
  DealSet deals_;
  bool load_failed_ = false;
  int start_deal_ = -1;
  int number_of_deal_ = -1;
  int number_of_copies_ = -1;
  State state_ = State::Idle;
  bool start_request_ = false;
  int deal_counter_ = 1;
  bool adjust_confirmed_ = false;
  uint32_t sort_taken_at_ = 0;  // tick count when the machine took the deck it sorts
  bool link_lost_ = false;      // a status poll of that deck failed as an exchange
  std::string file_name_;       // of the run the last ResumeSameRun saw
  RunKey left_key_;             // the run as the last show found it when it began
  int left_counter_ = 1;        // and the first send of it not completed
};
