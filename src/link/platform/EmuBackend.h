// The emulator link: ten socket slots tppipe00..tppipe09 on which a simulated machine connects.
// Each slot is a Unix-domain SOCK_SEQPACKET listening socket; one message is one 65-byte
// packet record in both directions. The program is the listening side; a connected client is
// driven like a HID machine, through completion routines.
//
// The sockets live in $QUADRELLE_EMULATOR_DIR, else $XDG_RUNTIME_DIR, else /tmp. A directory
// we create is 0700 and the sockets are 0600, so no other user can pose as a machine. Beside
// each socket a lock file (tppipeNN.lock, flock) says that a running program holds the slot;
// another program sees that without ever connecting to the socket.
#pragma once

#include <memory>
#include <string>

#include "DeviceHandle.h"

namespace qplatform {

class EmulatorLink {
 public:
  static constexpr int kSlots = 10;

  // `directory` empty: DefaultDirectory().
  explicit EmulatorLink(std::string directory = "");
  ~EmulatorLink();
  EmulatorLink(const EmulatorLink&) = delete;
  EmulatorLink& operator=(const EmulatorLink&) = delete;

  static std::string DefaultDirectory();
  const std::string& Directory() const { return directory_; }
  std::string SlotPath(int slot) const;
  // The slot's lock file, held while this program listens on the slot.
  std::string LockPath(int slot) const;

  enum class ListenResult { kListening, kOpenFailed, kListenFailed };
  bool Listening(int slot) const;
  // True once Listen was tried for the slot since it last listened (a failed slot is not tried
  // on every search).
  bool Attempted(int slot) const;
  // Creates the slot's listening socket (and the directory when it is missing). On failure
  // *error holds the system's error number.
  ListenResult Listen(int slot, int* error);

  bool InUse(int slot) const;
  // A slot not in use: true once a client has connected (the connection is kept for
  // TakeClient). A slot in use: true while its client is still there. A failed accept other
  // than "nobody waiting" leaves its error number in *accept_error (else 0).
  bool Peek(int slot, int* accept_error);
  // Hands the slot's connected client out as a device handle and marks the slot in use.
  std::unique_ptr<DeviceHandle> TakeClient(int slot);
  // Drops the slot's client (in use or not) so that the slot waits for a new one.
  void Relisten(int slot);

 private:
  struct Connection;
  struct Slot {
    int listen_fd = -1;
    int lock_fd = -1;
    std::shared_ptr<Connection> client;
    bool in_use = false;
    bool attempted = false;
  };
  bool PrepareDirectory(int* error);

  std::string directory_;
  Slot slots_[kSlots];
};

}  // namespace qplatform
