// The emulator link on Windows: each slot is the named pipe \\.\pipe\tppipeNN (duplex,
// overlapped, message type and message read mode, unlimited instances, 4096-byte buffers,
// 100 ms default time-out), open to the current user only (PipeSecurity.h). The program is the
// server: an instance waits for its client with an overlapped ConnectNamedPipe, and a client
// that PeekNamedPipe finds connected is handed out and driven through ReadFileEx / WriteFileEx
// (NativeIo.h). A program serving a slot holds a named mutex for it (DevicePaths.h HoldName)
// from its first instance on, and that instance is made with FILE_FLAG_FIRST_PIPE_INSTANCE, so
// a slot that another running program serves is refused without ever connecting to it (wine
// does not refuse a second first instance; the mutex does).
#include "EmuBackend.h"

#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "DevicePaths.h"
#include "NativeIo.h"
#include "PipeSecurity.h"
#include "win/LastError.h"

namespace qplatform {
namespace {

const char kPipeRoot[] = "\\\\.\\pipe";
constexpr DWORD kPipeBuffer = 4096;
constexpr DWORD kDefaultTimeoutMs = 100;

// One server instance of a slot's pipe.
struct Instance {
  HANDLE pipe = INVALID_HANDLE_VALUE;
  OVERLAPPED connect{};
  bool connecting = false;

  ~Instance() {
    if (pipe != INVALID_HANDLE_VALUE) {  // else a handed-out client closed it
      if (connecting) {
        // The connect names this record: it must be over before the record goes.
        ::CancelIo(pipe);
        DWORD ignored = 0;
        ::GetOverlappedResult(pipe, &connect, &ignored, TRUE);
      }
      ::CloseHandle(pipe);
    }
    if (connect.hEvent != nullptr) ::CloseHandle(connect.hEvent);
  }
};

struct Slot {
  ~Slot() {
    if (hold != nullptr) ::CloseHandle(hold);
  }
  HANDLE hold = nullptr;              // this program serves the slot
  std::shared_ptr<Instance> waiting;  // listening for a client
  std::shared_ptr<Instance> client;   // connected (handed out while in_use)
  std::weak_ptr<Instance> handed;     // the last client handed out, while its owner keeps it
  bool in_use = false;
  bool attempted = false;
};

// A connected client, driven like a HID machine: each message is one packet record.
class EmuPipe : public NativeDevice {
 public:
  explicit EmuPipe(std::shared_ptr<Instance> instance)
      : NativeDevice(instance->pipe), instance_(std::move(instance)) {}
  ~EmuPipe() override {
    // Closing the handle hangs up on the client; the slot notices at its next look.
    CloseNow();
    instance_->pipe = INVALID_HANDLE_VALUE;
  }

 private:
  std::shared_ptr<Instance> instance_;
};

bool StartsWithPipeRoot(const std::string& text) {
  const size_t n = sizeof kPipeRoot - 1;
  if (text.size() < n) return false;
  for (size_t i = 0; i < n; ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) !=
        std::tolower(static_cast<unsigned char>(kPipeRoot[i]))) {
      return false;
    }
  }
  return text.size() == n || text[n] == '\\';
}

// Where a folder's slots live among the pipes: a name under \\.\pipe stays as it is, any other
// folder (a scratch folder of a test) names a subfolder of \\.\pipe, so each has slots of its
// own.
std::string PipeFolder(std::string folder) {
  for (char& c : folder) {
    if (c == '/') c = '\\';
  }
  while (!folder.empty() && folder.back() == '\\') folder.pop_back();
  if (StartsWithPipeRoot(folder)) return folder;
  size_t start = 0;
  while (start < folder.size() && folder[start] == '\\') ++start;
  return std::string(kPipeRoot) + "\\" + folder.substr(start);
}

}  // namespace

struct EmulatorLink::Slots {
  Slot slot[kSlots];
  UserOnlySecurity security;
};

EmulatorLink::EmulatorLink(std::string directory)
    : directory_(directory.empty() ? DefaultDirectory() : PipeFolder(std::move(directory))),
      slots_(std::make_unique<Slots>()) {}

// The instances go with the slots; clients handed out keep theirs until they are closed.
EmulatorLink::~EmulatorLink() = default;

std::string EmulatorLink::DefaultDirectory() {
  const char* value = std::getenv("QUADRELLE_EMULATOR_DIR");
  if (value != nullptr && *value != '\0') return PipeFolder(value);
  return kPipeRoot;
}

std::string EmulatorLink::SlotPath(int slot) const {
  char name[16];
  std::snprintf(name, sizeof name, "tppipe%02u", static_cast<unsigned>(slot));
  return directory_ + "\\" + name;
}

std::string EmulatorLink::LockPath(int slot) const {
  return SlotPath(slot);
}

bool EmulatorLink::Listening(int slot) const {
  const Slot& s = slots_->slot[slot];
  return s.waiting != nullptr || s.client != nullptr;
}

bool EmulatorLink::InUse(int slot) const {
  return slots_->slot[slot].in_use;
}

bool EmulatorLink::Attempted(int slot) const {
  return slots_->slot[slot].attempted;
}

namespace {

// Makes a server instance of `path` and starts its overlapped connect. `first`: the slot has
// no instance of ours, so the pipe must not exist yet. *error: the system's error, 0 when
// listening.
EmulatorLink::ListenResult MakeInstance(const std::string& path, bool first,
                                        SECURITY_ATTRIBUTES* security,
                                        std::shared_ptr<Instance>* made, DWORD* error) {
  using ListenResult = EmulatorLink::ListenResult;
  *error = 0;
  auto instance = std::make_shared<Instance>();
  const DWORD open_mode =
      PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0);
  instance->pipe = ::CreateNamedPipeA(
      path.c_str(), open_mode,
      PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
      PIPE_UNLIMITED_INSTANCES, kPipeBuffer, kPipeBuffer, kDefaultTimeoutMs, security);
  if (instance->pipe == INVALID_HANDLE_VALUE) {
    *error = ::GetLastError();
    return ListenResult::kOpenFailed;
  }
  instance->connect.hEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (instance->connect.hEvent == nullptr) {
    *error = ::GetLastError();
    return ListenResult::kEventFailed;
  }
  if (!::ConnectNamedPipe(instance->pipe, &instance->connect)) {
    const DWORD code = ::GetLastError();
    if (code == ERROR_IO_PENDING) {
      instance->connecting = true;
    } else if (code != ERROR_PIPE_CONNECTED) {  // connected between create and connect: fine
      *error = code;
      return ListenResult::kListenFailed;
    }
  }
  *made = std::move(instance);
  return ListenResult::kListening;
}

}  // namespace

EmulatorLink::ListenResult EmulatorLink::Listen(int slot, qsys::SysError* error) {
  *error = qsys::SysError();
  Slot& s = slots_->slot[slot];
  if (Listening(slot)) return ListenResult::kListening;
  s.attempted = true;
  if (!slots_->security.Valid()) {
    *error = qsys::LastErrorFailure(slots_->security.error_code());
    return ListenResult::kOpenFailed;
  }
  DWORD code = 0;
  const bool taken = s.hold == nullptr;
  if (taken) {
    s.hold = TakeHold(HoldName("slot", SlotPath(slot)), &code);
    if (s.hold == nullptr) {
      // Another program serves the slot: refused as the pipe's first instance would be.
      *error = qsys::LastErrorFailure(code == ERROR_ALREADY_EXISTS ? ERROR_ACCESS_DENIED : code);
      return ListenResult::kOpenFailed;
    }
  }
  // While a client we handed out is still open the pipe exists, and it is ours.
  const std::shared_ptr<Instance> handed = s.handed.lock();
  const bool first = handed == nullptr || handed->pipe == INVALID_HANDLE_VALUE;
  std::shared_ptr<Instance> made;
  const ListenResult result =
      MakeInstance(SlotPath(slot), first, slots_->security.Attributes(), &made, &code);
  if (result != ListenResult::kListening) {
    *error = qsys::LastErrorFailure(code);
    if (taken) {
      ::CloseHandle(s.hold);
      s.hold = nullptr;
    }
    return result;
  }
  (made->connecting ? s.waiting : s.client) = std::move(made);
  return ListenResult::kListening;
}

bool EmulatorLink::Peek(int slot, qsys::SysError* accept_error) {
  *accept_error = qsys::SysError();
  Slot& s = slots_->slot[slot];
  if (s.waiting) {
    DWORD ignored = 0;
    if (::GetOverlappedResult(s.waiting->pipe, &s.waiting->connect, &ignored, FALSE)) {
      s.waiting->connecting = false;
      s.client = std::move(s.waiting);
    } else {
      const DWORD code = ::GetLastError();
      if (code == ERROR_IO_INCOMPLETE) return false;  // nobody yet
      // The connect failed: the instance goes, the next search makes a new one.
      *accept_error = qsys::LastErrorFailure(code);
      s.waiting->connecting = false;
      s.waiting.reset();
      s.attempted = false;
      return false;
    }
  }
  if (!s.client || s.client->pipe == INVALID_HANDLE_VALUE) return false;
  if (::PeekNamedPipe(s.client->pipe, nullptr, 0, nullptr, nullptr, nullptr)) return true;
  if (!s.in_use) {
    // A client that hung up before it was taken: the slot waits for the next one.
    s.client.reset();
    s.attempted = false;
  }
  return false;
}

std::unique_ptr<CompletionDevice> EmulatorLink::TakeClient(int slot) {
  Slot& s = slots_->slot[slot];
  if (!s.client || s.client->pipe == INVALID_HANDLE_VALUE) return nullptr;
  s.in_use = true;
  s.handed = s.client;
  return std::make_unique<EmuPipe>(s.client);
}

void EmulatorLink::Relisten(int slot) {
  Slot& s = slots_->slot[slot];
  // The handle (if one is still out) keeps its instance until it is closed; the slot makes a
  // new instance for the next client now. One that cannot be made is left to the next search,
  // which tries again and says why.
  s.client.reset();
  s.in_use = false;
  if (Listening(slot)) return;
  qsys::SysError ignored;
  Listen(slot, &ignored);
  if (!Listening(slot)) s.attempted = false;
}

}  // namespace qplatform
