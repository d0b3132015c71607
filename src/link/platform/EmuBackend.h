// The emulator link: ten socket slots tppipe00..tppipe09 on which a simulated machine connects.
// Each slot is a Unix-domain SOCK_SEQPACKET listening socket; one message is one 65-byte
// packet record in both directions. The program is the listening side; a connected client is
// driven like a HID machine, through completion routines.
//
// The sockets live in $QUADRELLE_EMULATOR_DIR, else $XDG_RUNTIME_DIR, else /tmp. A directory
// we create is 0700 and the sockets are 0600, so no other user can pose as a machine. Beside
// each socket a lock file (tppipeNN.lock, flock) says that a running program holds the slot;
// another program sees that without ever connecting to the socket.
//
// Nothing here waits for a client: every socket is non-blocking, and the device search asks
// each slot in turn. `slot` is 0 to kSlots - 1 in every call.
#pragma once

#include <memory>
#include <string>

#include "DeviceHandle.h"

namespace qplatform {

class EmulatorLink {
 public:
  static constexpr int kSlots = 10;

  // `directory` empty: DefaultDirectory(). Creates nothing yet: slots listen on first use.
  explicit EmulatorLink(std::string directory = "");
  // Closes every slot and removes the socket files it created. Handles handed out stay valid
  // (they keep their connection) until their owner closes them.
  ~EmulatorLink();
  EmulatorLink(const EmulatorLink&) = delete;
  EmulatorLink& operator=(const EmulatorLink&) = delete;

  // $QUADRELLE_EMULATOR_DIR, else $XDG_RUNTIME_DIR, else "/tmp".
  static std::string DefaultDirectory();
  const std::string& Directory() const { return directory_; }
  // The socket file of a slot: the directory and "tppipe00" to "tppipe09".
  std::string SlotPath(int slot) const;
  // The slot's lock file, held while this program listens on the slot.
  std::string LockPath(int slot) const;

  enum class ListenResult {
    kListening,     // the slot listens (now or already)
    kOpenFailed,    // no socket: the directory, the name, a live socket or another file there
    kListenFailed,  // the socket was made but cannot listen; its file is removed again
  };
  // True while the slot has a listening socket.
  bool Listening(int slot) const;
  // True once Listen was tried for the slot since it last listened (a failed slot is not tried
  // on every search; Relisten of a slot without a socket clears it).
  bool Attempted(int slot) const;
  // Creates the slot's listening socket (and the directory, 0700, when it is missing). A slot
  // whose lock file another running program holds is left alone (kOpenFailed, *error =
  // EADDRINUSE); a socket file left by a program that ended is taken over. Never connects to a
  // socket and never waits. *error: 0, or the system's error number.
  ListenResult Listen(int slot, int* error);

  // True while the slot's client is handed out (TakeClient) and not yet dropped (Relisten).
  bool InUse(int slot) const;
  // Looks at a slot without waiting.
  // Returns: a slot not in use: true once a client has connected (the connection is kept for
  // TakeClient); false while nobody has. A slot in use: true while its client is still there,
  // false once it hung up. *accept_error: 0, or the error number of a failed accept other than
  // "nobody waiting".
  bool Peek(int slot, int* accept_error);
  // Hands the slot's connected client out as a device handle, which the caller owns, and marks
  // the slot in use. nullptr when the slot has no connected client. Never blocks.
  std::unique_ptr<DeviceHandle> TakeClient(int slot);
  // Drops the slot's client (in use or not) so that the slot waits for a new one; a handle
  // still out keeps its connection until it is closed. Never blocks.
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
