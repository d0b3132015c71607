// The simulated dealing machine: its settings, the feeder, four pockets, the start button, the
// card tray and the card box, and the firmware's command vocabulary. Time is passed in
// explicitly (milliseconds of a tick count that may wrap), so tests can run a whole deal in no
// time and the server can drive it from the process clock.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "SimDeck.h"

namespace qsim {

// One answer of the firmware. A text reply ("00 OK") travels as a HEADER, DATA packets and a
// closing STATUS; a reply without text is a STATUS packet alone carrying `status`.
struct Reply {
  bool status_only = false;
  uint8_t status = 0;
  std::string text;

  static Reply Text(int code, std::string_view words);
  static Reply StatusOnly(uint8_t status = 0);
  bool operator==(const Reply&) const = default;
};

// The six numbers of "SERVICEINFO", in reply order.
struct ServiceCounters {
  uint32_t cards_fed = 0;
  uint32_t deals_life = 0;
  uint32_t deals_since_service = 0;
  int32_t jams = 0;
  int32_t misreads = 0;  // cards read twice and barcodes of the wrong type
  int32_t splits = 0;    // split jobs finished
};

struct MachineOptions {
  uint32_t card_ms = 250;  // time to read one card and drop it into its pocket
  DeckSetup deck;
  int split_decks = 2;  // decks mixed in the feeder for a split job
  uint32_t seed = 1;    // for shuffled decks
  std::string firmware = "QSIM 2.04 simulated dealer";
  ServiceCounters service;
  bool cardbox_inserted = true;
  // Settings at power-on; the program sets them again before it works.
  Barcode barcode = Barcode::k7Bar;
  bool buttonstart = false;
  bool traystart = false;
  bool stopcard = false;
};

enum class JobKind { kNone, kSort, kSplit };
// kArmed: a job was given while a start trigger of the machine is on ("BUTTONSTART ON",
// "TRAYSTART ON"); it waits for the button or for cards in the tray.
enum class Phase { kIdle, kArmed, kRunning, kRemoval, kDone, kFailed };

class Machine {
 public:
  static constexpr int kPockets = 4;

  explicit Machine(MachineOptions options = {});

  // Runs one command line and returns the firmware's reply.
  Reply Execute(std::string_view line, uint32_t now);
  // Reads the cards whose time has come.
  void Advance(uint32_t now);

  // What an operator does at the machine.
  void PressButton(uint32_t now);
  void SetTrayCards(bool present, uint32_t now);
  void SetCardBox(bool inserted, uint32_t now);
  // The job jams once when this many of its cards have been read (a job under way counts the
  // cards it has read already). A negative count takes the jam back.
  void JamAfter(int cards) { jam_after_ = cards; }
  void SetCardTime(uint32_t ms) { options_.card_ms = ms; }
  void SetSplitDecks(int decks) { options_.split_decks = decks; }
  DeckSetup& deck() { return options_.deck; }
  ServiceCounters& service() { return options_.service; }

  // What can be seen.
  JobKind job() const { return job_; }
  Phase phase() const { return phase_; }
  // Pocket 1 to 4, its cards in the order they dropped in.
  const std::vector<int>& Pocket(int pocket) const { return pockets_.at(pocket - 1); }
  // Every card read in the current job, in feeding order.
  const std::vector<int>& FedCards() const { return fed_; }
  size_t FeederCount() const { return feeder_.size(); }
  int StopCards() const { return stop_cards_; }
  bool ButtonLatched() const { return button_latched_; }
  bool TrayCards() const { return tray_cards_; }
  bool CardBox() const { return options_.cardbox_inserted; }
  Barcode barcode() const { return options_.barcode; }
  bool buttonstart() const { return options_.buttonstart; }
  bool traystart() const { return options_.traystart; }
  bool stopcard() const { return options_.stopcard; }
  bool exercising() const { return exercising_; }
  const MachineOptions& options() const { return options_; }
  // One line for an operator: what the machine is doing.
  std::string Describe() const;

 private:
  Reply Stat();
  Reply Sort(const std::vector<std::string>& words, uint32_t now);
  Reply Split(const std::vector<std::string>& words, uint32_t now);
  Reply OnOff(const std::vector<std::string>& words, bool& setting);
  bool Working() const { return phase_ == Phase::kArmed || phase_ == Phase::kRunning; }
  void StartJob(JobKind kind, uint32_t now);
  void Run(uint32_t now);
  void TryTrigger(uint32_t now);
  void ReadCard();
  void Fail(int code, const std::string& words);
  void Finish();

  MachineOptions options_;
  std::mt19937 random_;
  JobKind job_ = JobKind::kNone;
  Phase phase_ = Phase::kIdle;
  Reply fault_;
  std::deque<FeedCard> feeder_;
  std::array<std::vector<int>, kPockets> pockets_;
  std::vector<int> fed_;
  std::array<int, 53> placed_in_{};   // sorting: pocket of each card read, 0 while not read
  std::array<int, 53> occurrence_{};  // splitting: copies of each card read so far
  int placed_ = 0;
  std::string digits_;  // the pocket digit of each card number for the sort under way
  size_t capacity_ = 13;
  int removal_pocket_ = 0;
  size_t removal_count_ = 0;
  bool stop_card_due_ = false;
  int stop_cards_ = 0;
  uint32_t next_due_ = 0;
  int jam_after_ = -1;
  bool button_latched_ = false;
  bool tray_cards_ = false;
  bool exercising_ = false;
};

}  // namespace qsim
