// The emulator link: ten slots tppipe00..tppipe09 on which a simulated machine connects. One
// message is one 65-byte packet record in both directions. The program is the serving side; a
// connected client is driven like a HID machine, through completion routines.
//
// The channels are private to the user, so no other user can pose as a machine. POSIX: they
// live in $QUADRELLE_EMULATOR_DIR, else $XDG_RUNTIME_DIR, else /tmp. Windows: they are the
// named pipes \\.\pipe\tppipe00 to 09 (the "directory" is \\.\pipe; $QUADRELLE_EMULATOR_DIR
// or a folder given to the constructor names a subfolder of it, so tests get slots of their
// own). Whether a running program holds a slot is seen without ever connecting to it. How a
// slot is made (posix: a Unix-domain seqpacket socket beside a lock file; Windows: a named pipe
// whose first instance holds the name) is the system's folder's business; failures come back
// as the platform's SysError, whose number the trace prints.
//
// Nothing here waits for a client: the device search asks each slot in turn. `slot` is 0 to
// kSlots - 1 in every call.
#pragma once

#include <memory>
#include <string>

#include "DeviceHandle.h"
#include "SysError.h"

namespace qplatform {

class EmulatorLink {
 public:
  static constexpr int kSlots = 10;

  // `directory` empty: DefaultDirectory(). Creates nothing yet: slots listen on first use.
  explicit EmulatorLink(std::string directory = "");
  // Closes every slot and removes the channel files it created. Handles handed out stay valid
  // (they keep their connection) until their owner closes them.
  ~EmulatorLink();
  EmulatorLink(const EmulatorLink&) = delete;
  EmulatorLink& operator=(const EmulatorLink&) = delete;

  // POSIX: $QUADRELLE_EMULATOR_DIR, else $XDG_RUNTIME_DIR, else "/tmp". Windows: \\.\pipe, or
  // the folder under it that $QUADRELLE_EMULATOR_DIR names.
  static std::string DefaultDirectory();
  const std::string& Directory() const { return directory_; }
  // The channel a machine connects to: the directory and "tppipe00" to "tppipe09".
  std::string SlotPath(int slot) const;
  // The slot's lock file, held while this program listens on the slot (Windows: the pipe
  // itself, whose first instance holds the name).
  std::string LockPath(int slot) const;

  enum class ListenResult {
    kListening,     // the slot listens (now or already)
    kOpenFailed,    // no channel: the directory, the name, a live channel or another file there
    kListenFailed,  // the channel was made but cannot listen; its file is removed again
    kEventFailed,   // the channel's wait for a client could not be set up (Windows: its event)
  };
  // True while the slot has a listening channel.
  bool Listening(int slot) const;
  // True once Listen was tried for the slot since it last listened (a failed slot is not tried
  // on every search; Relisten of a slot without a channel clears it).
  bool Attempted(int slot) const;
  // Creates the slot's listening channel (and the directory, private to the user, when it is
  // missing). A slot another running program holds is left alone (kOpenFailed, *error the
  // system's "address in use": EADDRINUSE); a channel file left by a program that ended is
  // taken over. Never connects to a channel and never waits. *error: Fault::kNone, or the
  // failure with the system's number.
  ListenResult Listen(int slot, qsys::SysError* error);

  // True while the slot's client is handed out (TakeClient) and not yet dropped (Relisten).
  bool InUse(int slot) const;
  // Looks at a slot without waiting.
  // Returns: a slot not in use: true once a client has connected (the connection is kept for
  // TakeClient); false while nobody has. A slot in use: true while its client is still there,
  // false once it hung up. *accept_error: Fault::kNone, or a failed accept other than "nobody
  // waiting", with the system's number.
  bool Peek(int slot, qsys::SysError* accept_error);
  // Hands the slot's connected client out as a device driven through completion routines,
  // which the caller owns, and marks the slot in use. nullptr when the slot has no connected
  // client. Never blocks.
  std::unique_ptr<CompletionDevice> TakeClient(int slot);
  // Drops the slot's client (in use or not) so that the slot waits for a new one; a handle
  // still out keeps its connection until it is closed. Never blocks.
  void Relisten(int slot);

 private:
  struct Slots;  // the system's channels, in the system's folder

  std::string directory_;
  std::unique_ptr<Slots> slots_;
};

}  // namespace qplatform
