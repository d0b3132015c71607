// bench_link's machine on Windows: the client ends of the slot's named pipe and of a floor pipe
// made like a slot's instance (duplex, overlapped, message type and read mode, 4096-byte
// buffers). The machine's thread keeps one overlapped read on each and waits on their events;
// the host's end of the floor writes and reads with overlapped calls waited out on an event,
// one message at a time.
#include "LinkMachine.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

namespace linkbench {
namespace {

constexpr DWORD kPipeBuffer = 4096;

HANDLE OpenClient(const std::string& path) {
  const HANDLE pipe = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (pipe == INVALID_HANDLE_VALUE) std::abort();
  DWORD mode = PIPE_READMODE_MESSAGE;
  if (!::SetNamedPipeHandleState(pipe, &mode, nullptr, nullptr)) std::abort();
  return pipe;
}

HANDLE NewEvent() {
  const HANDLE event = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (event == nullptr) std::abort();
  return event;
}

// An overlapped transfer of one record, waited out on its event.
bool Finished(HANDLE pipe, OVERLAPPED* overlapped, BOOL started) {
  if (!started && ::GetLastError() != ERROR_IO_PENDING) return false;
  DWORD moved = 0;
  return ::GetOverlappedResult(pipe, overlapped, &moved, TRUE) && moved == kPacketRecordSize;
}

bool Write(HANDLE pipe, OVERLAPPED* overlapped, const PacketRecord& record) {
  return Finished(pipe, overlapped,
                  ::WriteFile(pipe, record.bytes, kPacketRecordSize, nullptr, overlapped));
}

bool Read(HANDLE pipe, OVERLAPPED* overlapped, PacketRecord* record) {
  return Finished(pipe, overlapped,
                  ::ReadFile(pipe, record->bytes, kPacketRecordSize, nullptr, overlapped));
}

// The machine's end of one channel.
struct End {
  HANDLE pipe = INVALID_HANDLE_VALUE;
  OVERLAPPED read{};
  OVERLAPPED write{};
  PacketRecord in;
  uint32_t transmission = 0;
  bool reading = false;

  // Starts the next read; false once the channel is gone.
  bool StartRead() {
    if (!::ReadFile(pipe, in.bytes, sizeof in.bytes, nullptr, &read) &&
        ::GetLastError() != ERROR_IO_PENDING) {
      reading = false;
      return false;
    }
    reading = true;  // done at once or later: the event tells either way
    return true;
  }
  // The read's event fired: answers what came and starts the next read.
  void Finish() {
    DWORD got = 0;
    reading = false;
    if (!::GetOverlappedResult(pipe, &read, &got, FALSE)) {
      // A longer message than a record is dropped; a hang-up ends this channel.
      if (::GetLastError() == ERROR_MORE_DATA) StartRead();
      return;
    }
    if (got == kPacketRecordSize) {
      if (PacketTypeOf(in) == PACKET_HEADER) transmission = HeaderTransmission(in);
      if (PacketTypeOf(in) == PACKET_COMMAND) {
        for (const PacketRecord& r : MakeReply(transmission, "01 busy", 7)) {
          if (!Write(pipe, &write, r)) return;
        }
      }
    }
    StartRead();
  }
  // Runs on the machine's thread: the reads it started are its own to cancel.
  void Close() {
    if (reading) {
      ::CancelIo(pipe);
      DWORD ignored = 0;
      ::GetOverlappedResult(pipe, &read, &ignored, TRUE);
    }
    ::CloseHandle(pipe);
    ::CloseHandle(read.hEvent);
    ::CloseHandle(write.hEvent);
  }
};

}  // namespace

std::string MakeSlotFolder() {
  char folder[64];
  std::snprintf(folder, sizeof folder, "\\\\.\\pipe\\quadrelle-bench-%lu",
                static_cast<unsigned long>(::GetCurrentProcessId()));
  return folder;
}

void RemoveSlotFolder(const std::string&) {}  // pipes go with their last handle

const char* FloorName() {
  return "BM_PipeFloor";
}

struct Machine::Parts {
  void Run() {
    for (End& end : ends) end.StartRead();
    for (;;) {
      const HANDLE events[3] = {ends[0].read.hEvent, ends[1].read.hEvent, stop};
      const DWORD woke = ::WaitForMultipleObjects(3, events, FALSE, INFINITE);
      if (woke == WAIT_OBJECT_0 + 2 || woke == WAIT_FAILED) break;
      End& end = ends[woke - WAIT_OBJECT_0];
      if (end.reading) {
        end.Finish();
      } else {
        ::ResetEvent(end.read.hEvent);  // a channel that is gone stays quiet
      }
    }
    for (End& end : ends) end.Close();
  }

  End ends[2];  // the machine's ends: the slot, the floor
  HANDLE stop = nullptr;
  HANDLE floor_host = INVALID_HANDLE_VALUE;
  OVERLAPPED host_io{};
  std::thread thread;
};

Machine::Machine(const std::string& slot_path) : parts_(std::make_unique<Parts>()) {
  Parts& p = *parts_;
  char name[80];
  std::snprintf(name, sizeof name, "\\\\.\\pipe\\quadrelle-bench-floor-%lu",
                static_cast<unsigned long>(::GetCurrentProcessId()));
  p.floor_host = ::CreateNamedPipeA(
      name, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
      PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
      kPipeBuffer, kPipeBuffer, 100, nullptr);
  if (p.floor_host == INVALID_HANDLE_VALUE) std::abort();
  p.host_io.hEvent = NewEvent();
  // Nobody has the pipe open yet: the connect waits for the machine's end.
  if (::ConnectNamedPipe(p.floor_host, &p.host_io) || ::GetLastError() != ERROR_IO_PENDING) {
    std::abort();
  }
  p.ends[0].pipe = OpenClient(slot_path);
  p.ends[1].pipe = OpenClient(name);
  DWORD ignored = 0;
  if (!::GetOverlappedResult(p.floor_host, &p.host_io, &ignored, TRUE)) std::abort();
  for (End& end : p.ends) {
    end.read.hEvent = NewEvent();
    end.write.hEvent = NewEvent();
  }
  p.stop = NewEvent();
  p.thread = std::thread([this] { parts_->Run(); });
}

Machine::~Machine() {
  ::SetEvent(parts_->stop);
  parts_->thread.join();
  ::CloseHandle(parts_->stop);
  ::CloseHandle(parts_->floor_host);
  ::CloseHandle(parts_->host_io.hEvent);
}

bool Machine::FloorExchange(const PacketRecord (&out)[2], PacketRecord (&in)[3]) {
  Parts& p = *parts_;
  for (const PacketRecord& record : out) {
    if (!Write(p.floor_host, &p.host_io, record)) return false;
  }
  for (PacketRecord& record : in) {
    if (!Read(p.floor_host, &p.host_io, &record)) return false;
  }
  return true;
}

}  // namespace linkbench
