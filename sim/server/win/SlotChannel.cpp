// The slot channel on Windows: the slot's named pipe, opened as its client (overlapped, message
// read mode). A read is made only once PeekNamedPipe shows a message, so it never waits; a
// write the program does not take at once stays in flight (one at a time) and the next send
// says kAgain until it is done.
#include "SlotChannel.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <vector>

namespace qsim {
namespace {

std::string SystemText(DWORD code) {
  char text[256] = "";
  if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                     text, sizeof text, nullptr) == 0) {
    std::snprintf(text, sizeof text, "system error %lu", static_cast<unsigned long>(code));
  }
  std::string out = text;
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == '.')) {
    out.pop_back();
  }
  return out;
}

bool IsHangUp(DWORD code) {
  return code == ERROR_BROKEN_PIPE || code == ERROR_NO_DATA || code == ERROR_PIPE_NOT_CONNECTED;
}

class PipeChannel : public SlotChannel {
 public:
  explicit PipeChannel(HANDLE pipe) : pipe_(pipe) {
    read_.hEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    write_.hEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  }
  ~PipeChannel() override {
    if (writing_) {
      ::CancelIo(pipe_);
      DWORD ignored = 0;
      ::GetOverlappedResult(pipe_, &write_, &ignored, TRUE);
    }
    ::CloseHandle(pipe_);
    ::CloseHandle(read_.hEvent);
    ::CloseHandle(write_.hEvent);
  }

  Io Receive(uint8_t* buffer, size_t capacity, size_t* size, std::string* why) override {
    DWORD waiting = 0;
    DWORD message = 0;
    if (!::PeekNamedPipe(pipe_, nullptr, 0, nullptr, &waiting, &message)) {
      return Failure(::GetLastError(), why);
    }
    if (waiting == 0) return Io::kAgain;
    *size = message;
    DWORD got = 0;
    if (Read(buffer, static_cast<DWORD>(capacity), &got)) return Io::kDone;
    DWORD code = ::GetLastError();
    // A message longer than the buffer: the rest is dropped.
    std::vector<uint8_t> rest(4096);
    while (code == ERROR_MORE_DATA) {
      if (Read(rest.data(), static_cast<DWORD>(rest.size()), &got)) return Io::kDone;
      code = ::GetLastError();
    }
    return Failure(code, why);
  }

  Io Send(const uint8_t* data, size_t size, std::string* why) override {
    if (writing_) {
      DWORD ignored = 0;
      if (!::GetOverlappedResult(pipe_, &write_, &ignored, FALSE)) {
        const DWORD code = ::GetLastError();
        if (code == ERROR_IO_INCOMPLETE) return Io::kAgain;
        writing_ = false;
        return Failure(code, why);
      }
      writing_ = false;
    }
    outgoing_.assign(data, data + size);
    ::ResetEvent(write_.hEvent);
    if (::WriteFile(pipe_, outgoing_.data(), static_cast<DWORD>(size), nullptr, &write_)) {
      return Io::kDone;
    }
    const DWORD code = ::GetLastError();
    if (code == ERROR_IO_PENDING) {
      writing_ = true;  // the program has it once it reads
      return Io::kDone;
    }
    return Failure(code, why);
  }

  void Wait(int ms) override {
    for (int waited = 0; waited < ms; ++waited) {
      DWORD waiting = 0;
      if (!::PeekNamedPipe(pipe_, nullptr, 0, nullptr, &waiting, nullptr) || waiting > 0) return;
      ::Sleep(1);
    }
  }

 private:
  // A read of a message that is there: it finishes at once.
  bool Read(uint8_t* buffer, DWORD size, DWORD* got) {
    ::ResetEvent(read_.hEvent);
    if (!::ReadFile(pipe_, buffer, size, nullptr, &read_) && ::GetLastError() != ERROR_IO_PENDING) {
      return false;
    }
    return ::GetOverlappedResult(pipe_, &read_, got, TRUE) != 0;
  }

  static Io Failure(DWORD code, std::string* why) {
    if (IsHangUp(code)) return Io::kClosed;
    *why = SystemText(code);
    return Io::kFailed;
  }

  const HANDLE pipe_;
  OVERLAPPED read_{};
  OVERLAPPED write_{};
  bool writing_ = false;
  std::vector<uint8_t> outgoing_;
};

HANDLE OpenClient(const std::string& path, DWORD* code) {
  const HANDLE pipe = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (pipe == INVALID_HANDLE_VALUE) {
    *code = ::GetLastError();
    return nullptr;
  }
  DWORD mode = PIPE_READMODE_MESSAGE;
  if (!::SetNamedPipeHandleState(pipe, &mode, nullptr, nullptr)) {
    *code = ::GetLastError();
    ::CloseHandle(pipe);
    return nullptr;
  }
  return pipe;
}

}  // namespace

std::unique_ptr<SlotChannel> SlotChannel::Connect(const std::string& path, std::string* why) {
  DWORD code = 0;
  const HANDLE pipe = OpenClient(path, &code);
  if (pipe == nullptr) {
    *why = SystemText(code);
    return nullptr;
  }
  return std::make_unique<PipeChannel>(pipe);
}

std::pair<std::unique_ptr<SlotChannel>, std::unique_ptr<SlotChannel>> SlotChannel::Pair() {
  static std::atomic<unsigned> count{0};
  char name[96];
  std::snprintf(name, sizeof name, "\\\\.\\pipe\\quadrelle-pair-%lu-%u",
                static_cast<unsigned long>(::GetCurrentProcessId()), count++);
  const HANDLE server = ::CreateNamedPipeA(
      name, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
      PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 4096,
      4096, 100, nullptr);
  if (server == INVALID_HANDLE_VALUE) return {};
  DWORD code = 0;
  const HANDLE client = OpenClient(name, &code);
  if (client == nullptr) {
    ::CloseHandle(server);
    return {};
  }
  // The client is there already: the connect completes at once.
  OVERLAPPED connect{};
  connect.hEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!::ConnectNamedPipe(server, &connect) && ::GetLastError() == ERROR_IO_PENDING) {
    DWORD ignored = 0;
    ::GetOverlappedResult(server, &connect, &ignored, TRUE);
  }
  ::CloseHandle(connect.hEvent);
  return {std::make_unique<PipeChannel>(server), std::make_unique<PipeChannel>(client)};
}

}  // namespace qsim
