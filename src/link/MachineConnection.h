// The connection cycle with the machine, written once for the main dialog and quadrelle-cmd:
// while no machine is held, search for one (FindDevice with id 0) and arm its reading
// (ClientInit); while one is held, test it (CheckAlive) and drop it when the test fails. At most
// one search or alive check per kPollIntervalMs on the link's clock.
//
// One thread: the one that drives the link. Trace lines of the owner's (what it says about the
// machine) belong in the owner's source file, so the object tells an Observer at the moments
// they belong to, between the link's own lines.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "LinkFailure.h"
#include "MachineFilter.h"

class UsbInterface;

class MachineConnection {
 public:
  // The pace of the poll: at most one search or alive check per this many ms.
  static constexpr uint32_t kPollIntervalMs = 200;
  // LastFailure() while no machine is held and the search wrote no failure line.
  static constexpr const char* kNoMachineFound = "no machine found";
  // LastFailure() while a machine is held and the failed call wrote no failure line.
  static constexpr const char* kExchangeFailed = "exchange failed";

  // What one call of Poll did.
  enum class Step {
    kNotDue,  // called before the pace allowed: nothing was done, the observer was not told
    kNone,    // no machine was held and the search found none
    kFound,   // the search found a machine; it is held now, and ClientInit was called on it
    kAlive,   // the held machine passed its alive check
    kGone,    // the held machine failed its alive check; it was closed and deleted
  };

  // Told by Poll as it goes. Every call is optional; each runs on the polling thread and must
  // not call back into this object.
  class Observer {
   public:
    // No machine is held: the search starts right after this.
    virtual void OnSearching() {}
    // The search found a machine; its ClientInit follows right after this.
    virtual void OnFound() {}
    // The held machine passed its alive check.
    virtual void OnAlive() {}
    // The held machine failed its alive check; it is closed and deleted right after this.
    virtual void OnGone() {}
    // Once on the first poll that has an observer, and once on each later poll after which a
    // machine came or went; `held` says whether one is held now. Called before the next poll
    // time is set, so the time it takes counts towards the pace.
    virtual void OnHeldChanged(bool /*held*/) {}

   protected:
    ~Observer() = default;
  };

  MachineConnection() = default;
  // A connection bound to one machine: the search opens and hands out only machines `which`
  // takes, and waits (at the same pace) while that one is not there.
  explicit MachineConnection(MachineFilter which) : m_Which(std::move(which)) {}
  // Deletes the held machine, if any; its destructor closes it.
  ~MachineConnection();
  MachineConnection(const MachineConnection&) = delete;
  MachineConnection& operator=(const MachineConnection&) = delete;

  // One turn of the cycle, if the pace allows it (the first call always does). Creates the
  // connection mutex before the first search. Blocks as long as FindDevice and ClientInit, or
  // CheckAlive and the drop, take (USBinterface.h); returns at once when not due. `observer`
  // may be nullptr.
  Step Poll(Observer* observer = nullptr);

  // Polls at the pace until a machine is held or `wait_ms` have passed since the call, sleeping
  // (on the link's clock) until each poll is due. The first poll of a new object is due at once,
  // so with 0 a new object searches once. Returns the held machine (without a poll when one is
  // held already), or nullptr. Blocks for up to `wait_ms` plus one search.
  UsbInterface* WaitForMachine(uint32_t wait_ms);

  // The held machine, or nullptr. The object keeps ownership: the pointer is valid until a poll
  // reports kGone or the object is destroyed.
  UsbInterface* Link() const { return m_Link; }

  // Why the last step or the last call on Link() failed: the link's LastFailure(); when the
  // link wrote no failure line, {kFileNotFound, kNoMachineFound} while no machine is held, else
  // {kGenFailure, kExchangeFailed}. Meaningful after a failure only. Never blocks.
  LinkFailure LastFailure() const;

  // The machine this connection is bound to (Any() when none).
  const MachineFilter& Which() const { return m_Which; }

 private:
  MachineFilter m_Which;
  UsbInterface* m_Link = nullptr;
  bool m_MutexCreated = false;
  bool m_Paced = false;  // m_NextPoll holds the earliest tick of the next poll
  uint32_t m_NextPoll = 0;
  bool m_Told = false;  // an observer has been told the state once
};
