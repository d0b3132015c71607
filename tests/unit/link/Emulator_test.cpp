// The emulator link end to end: real sockets, the real clock, a scripted machine on a thread.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

#include "LinkFixture.h"
#include "MachineList.h"
#include "TraceGuard.h"

namespace {

using qplatform::EmulatorLink;

int ConnectTo(const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// A machine on the far end of a slot: answers each COMMAND with "00 " + the command, after
// a LOG and a USERSTATUS packet; counts ALIVE packets. Ends when the host hangs up or when
// told to.
class ScriptedMachine {
 public:
  explicit ScriptedMachine(int fd) : fd_(fd), thread_([this] { Run(); }) {}
  ~ScriptedMachine() {
    HangUp();
    thread_.join();
  }
  void HangUp() {
    if (!hung_up_.exchange(true)) ::shutdown(fd_, SHUT_RDWR);
  }
  void SendRaw(const void* bytes, size_t size) { ::send(fd_, bytes, size, MSG_NOSIGNAL); }
  int alive_count() const { return alive_; }

 private:
  void Run() {
    uint32_t transmission = 0;
    for (;;) {
      PacketRecord p;
      const ssize_t n = ::recv(fd_, p.bytes, sizeof p.bytes, 0);
      if (n <= 0) break;
      if (n != static_cast<ssize_t>(kPacketRecordSize)) continue;
      switch (PacketTypeOf(p)) {
        case PACKET_HEADER:
          transmission = HeaderTransmission(p);
          break;
        case PACKET_ALIVE:
          ++alive_;
          break;
        case PACKET_COMMAND: {
          const std::string reply = "00 " + CommandText(p);
          std::vector<PacketRecord> out = {MakeLog("busy"), MakeUserStatus()};
          for (const PacketRecord& r : MakeReply(transmission, reply.data(), reply.size())) {
            out.push_back(r);
          }
          for (const PacketRecord& r : out) SendRaw(r.bytes, kPacketRecordSize);
          break;
        }
        default:
          break;
      }
    }
    ::close(fd_);
  }

  int fd_;
  std::atomic<bool> hung_up_{false};
  std::atomic<int> alive_{0};
  std::thread thread_;
};

class EmulatorLinkTest : public ::testing::Test {
 protected:
  EmulatorLinkTest() {
    char pattern[] = "/tmp/quadrelle-emu-XXXXXX";
    root_ = ::mkdtemp(pattern);
    dir_ = root_ + "/slots";
    emulator_ = std::make_unique<EmulatorLink>(dir_);
    backends_ = std::make_unique<qplatform::ScopedBackends>(
        qplatform::Backends{&hid_, &bulk_, emulator_.get()});
    TraceSetStandardOutput(nullptr);
    qplatform::Reactor::Instance().Install();
    ConnectionList().clear();
    CreateConnectionMutex();
  }
  ~EmulatorLinkTest() override {
    for (UsbInterface* device : owned_) delete device;
    ConnectionList().clear();
    backends_.reset();
    emulator_.reset();
    ::rmdir(dir_.c_str());
    ::rmdir(root_.c_str());
  }

  UsbInterface* Find() {
    UsbInterface* device = FindDevice(0);
    if (device != nullptr) {
      owned_.push_back(device);
      device->ClientInit();
    }
    return device;
  }
  int Count(const std::string& text) const {
    const auto texts = trace_.Texts('T');
    return static_cast<int>(std::count(texts.begin(), texts.end(), text));
  }
  void Destroy(UsbInterface* device) {
    owned_.erase(std::remove(owned_.begin(), owned_.end(), device), owned_.end());
    device->CloseDevice();
    delete device;
  }

  std::string root_;
  std::string dir_;
  qplatform::FakeHidBackend hid_;
  qplatform::FakeBulkBackend bulk_;
  std::unique_ptr<EmulatorLink> emulator_;
  std::unique_ptr<qplatform::ScopedBackends> backends_;
  TraceCapture trace_;
  std::vector<UsbInterface*> owned_;
};

// A slot that cannot listen says why, as the system numbered it, and the search later traces
// that number.
TEST_F(EmulatorLinkTest, AFailedListenCarriesTheSystemsNumber) {
  const std::string file = root_ + "/plain";
  std::ofstream(file) << "x";
  struct Case {
    std::string directory;
    qsys::Fault fault;
    int number;
  };
  const Case cases[] = {
      {file, qsys::Fault::kNotFound, ENOTDIR},                    // the directory is a file
      {root_ + "/" + std::string(120, 'd'), qsys::Fault::kOther,  // the name cannot be bound
       ENAMETOOLONG},
  };
  for (const Case& c : cases) {
    EmulatorLink link(c.directory);
    qsys::SysError error;
    EXPECT_EQ(link.Listen(0, &error), EmulatorLink::ListenResult::kOpenFailed) << c.directory;
    EXPECT_EQ(error.fault, c.fault) << c.directory;
    EXPECT_EQ(error.number, static_cast<uint32_t>(c.number)) << c.directory;
    EXPECT_TRUE(link.Attempted(0));
    EXPECT_FALSE(link.Listening(0));
    ::rmdir(c.directory.c_str());
  }
  ::unlink(file.c_str());
}

TEST_F(EmulatorLinkTest, SlotsArePrivateToTheUser) {
  EXPECT_EQ(Find(), nullptr);
  struct stat st;
  ASSERT_EQ(::stat(dir_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  for (int slot = 0; slot < EmulatorLink::kSlots; ++slot) {
    const std::string path = emulator_->SlotPath(slot);
    ASSERT_EQ(::stat(path.c_str(), &st), 0) << path;
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0600u);
  }
  EXPECT_EQ(emulator_->SlotPath(9), dir_ + "/tppipe09");
}

TEST_F(EmulatorLinkTest, AConnectedMachineIsFoundAndAnswers) {
  EXPECT_EQ(Find(), nullptr);  // creates the slots
  const int fd = ConnectTo(emulator_->SlotPath(3));
  ASSERT_GE(fd, 0);
  ScriptedMachine machine(fd);
  UsbInterface* device = Find();
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device->Id(), 45u);
  EXPECT_FALSE(device->IsBulk());
  EXPECT_TRUE(trace_.Contains('T', "Found EMU device(s)\n"));
  EXPECT_TRUE(trace_.Contains('T', "Init on a Interrupt device\n"));

  for (const char* command : {"FIRMWARE", "SERVICEINFO", "STAT"}) {
    char reply[256];
    uint32_t got = 0;
    ASSERT_EQ(device->SendCommand(command, 1000, reply, sizeof reply, &got), 1) << command;
    EXPECT_EQ(std::string(reply, got), std::string("00 ") + command);
  }
  EXPECT_TRUE(trace_.Contains('T', "Got userstatus\n"));
  EXPECT_EQ(device->CheckAlive(), 1);
}

TEST_F(EmulatorLinkTest, AMachineThatHangsUpIsDroppedAndItsSlotServesAgain) {
  EXPECT_EQ(Find(), nullptr);
  auto machine = std::make_unique<ScriptedMachine>(ConnectTo(emulator_->SlotPath(0)));
  UsbInterface* device = Find();
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device->Id(), 42u);
  machine.reset();  // hangs up
  EXPECT_EQ(device->CheckAlive(), 0);
  EXPECT_TRUE(trace_.Contains('W', "Error sending command\n"));
  Destroy(device);

  EXPECT_EQ(Find(), nullptr);
  EXPECT_TRUE(trace_.Contains('T', "Peek 0 fail\n"));
  machine = std::make_unique<ScriptedMachine>(ConnectTo(emulator_->SlotPath(0)));
  device = Find();
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device->Id(), 42u);
  char reply[64];
  uint32_t got = 0;
  EXPECT_EQ(device->SendCommand("STAT", 1000, reply, sizeof reply, &got), 1);
}

TEST_F(EmulatorLinkTest, AMessageThatIsNotARecordStopsTheLink) {
  EXPECT_EQ(Find(), nullptr);
  ScriptedMachine machine(ConnectTo(emulator_->SlotPath(1)));
  UsbInterface* device = Find();
  ASSERT_NE(device, nullptr);
  const char stray[30] = "not a packet record";
  machine.SendRaw(stray, sizeof stray);
  PacketRecord packet;
  EXPECT_EQ(device->Receive(&packet, 1, 200, -1), 0);
  EXPECT_TRUE(trace_.Contains('W', "RXDONE BytesTransfered was 30 expected 65\n"));
  EXPECT_FALSE(device->ReadPending());
}

// Another program serving the same slots (quadrelle-cmd -emulator while the dialog holds a
// machine) sees them held from their lock files: it never connects, so it never blocks on a full
// queue and leaves no connection that would later pose as a machine.
TEST_F(EmulatorLinkTest, ASecondProgramSeesHeldSlotsWithoutConnecting) {
  EXPECT_EQ(Find(), nullptr);
  auto machine = std::make_unique<ScriptedMachine>(ConnectTo(emulator_->SlotPath(0)));
  UsbInterface* device = Find();
  ASSERT_NE(device, nullptr);
  auto other_program_looks = [&] {
    EmulatorLink other(dir_);
    for (int slot : {0, 1}) {
      qsys::SysError error;
      EXPECT_EQ(other.Listen(slot, &error), EmulatorLink::ListenResult::kOpenFailed);
      EXPECT_EQ(error.fault, qsys::Fault::kOther);
      EXPECT_EQ(error.number, static_cast<uint32_t>(EADDRINUSE));
    }
  };
  other_program_looks();
  // The machine goes; the slot takes the next client, and there is none: the other program's
  // look left nothing behind.
  machine.reset();
  EXPECT_EQ(device->CheckAlive(), 0);
  ExpectTraceLine('W', "Error sending command\n");
  Destroy(device);
  ASSERT_EQ(Find(), nullptr);
  ASSERT_EQ(Find(), nullptr);
  EXPECT_TRUE(trace_.Contains('T', "Peek 0 fail\n"));
  // However often it looks, it never waits on a queue that nobody empties.
  for (int run = 0; run < 3; ++run) other_program_looks();

  struct stat st;
  ASSERT_EQ(::stat(emulator_->LockPath(0).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  // An ended program's slots are free again, lock files and all.
  emulator_.reset();
  EXPECT_NE(::stat((dir_ + "/tppipe00.lock").c_str(), &st), 0);
  EmulatorLink after(dir_);
  qsys::SysError error;
  EXPECT_EQ(after.Listen(0, &error), EmulatorLink::ListenResult::kListening);
}

TEST_F(EmulatorLinkTest, LeftoverSocketsAreTakenOverButOtherFilesAreLeftAlone) {
  ASSERT_EQ(::mkdir(dir_.c_str(), 0700), 0);
  {
    // A socket file whose program has ended.
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", emulator_->SlotPath(0).c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
  }
  std::ofstream(emulator_->SlotPath(1)) << "keep me";
  EXPECT_EQ(Find(), nullptr);
  EXPECT_TRUE(emulator_->Listening(0));
  EXPECT_FALSE(emulator_->Listening(1));
  EXPECT_EQ(Count("Error opening pipe \r\n"), 1);
  std::ifstream kept(emulator_->SlotPath(1));
  std::string text;
  std::getline(kept, text);
  EXPECT_EQ(text, "keep me");
  // A failed slot is not retried on every search.
  EXPECT_EQ(Find(), nullptr);
  EXPECT_EQ(Count("Error opening pipe \r\n"), 1);
  // The slot it did not take leaves no lock file behind.
  struct stat st;
  EXPECT_NE(::stat(emulator_->LockPath(1).c_str(), &st), 0);
  emulator_.reset();
  ::unlink((dir_ + "/tppipe01").c_str());
}

// Two copies on one computer: each bound copy serves only its own slot, and no copy takes a
// slot another one already serves.
TEST_F(EmulatorLinkTest, BoundCopiesShareTheSlotsOnePerMachine) {
  EmulatorLink other_copy(dir_);
  EXPECT_EQ(FindDevice(0, MachineFilter("45")), nullptr);
  for (int slot = 0; slot < EmulatorLink::kSlots; ++slot) {
    EXPECT_EQ(emulator_->Listening(slot), slot == 3) << slot;
  }
  qsys::SysError error;
  EXPECT_EQ(other_copy.Listen(0, &error), EmulatorLink::ListenResult::kListening);

  ScriptedMachine ours(ConnectTo(emulator_->SlotPath(3)));
  ScriptedMachine theirs(ConnectTo(other_copy.SlotPath(0)));
  UsbInterface* device = FindDevice(0, MachineFilter("45"));
  ASSERT_NE(device, nullptr);
  owned_.push_back(device);
  EXPECT_EQ(device->Id(), 45u);
  // A copy without a machine of its own serves the rest but never the other copy's slot.
  EXPECT_EQ(FindDevice(0), nullptr);
  EXPECT_FALSE(emulator_->Listening(0));
  EXPECT_TRUE(emulator_->Listening(9));
  EXPECT_TRUE(other_copy.Peek(0, &error));
}

// The list shows a slot another copy serves as held, without connecting to it, and a machine
// waiting on a free slot as free; the slot is given up again afterwards.
TEST_F(EmulatorLinkTest, TheListShowsServedSlotsHeldAndWaitingMachinesFree) {
  EmulatorLink other_copy(dir_);
  qsys::SysError error;
  ASSERT_EQ(other_copy.Listen(0, &error), EmulatorLink::ListenResult::kListening);
  EXPECT_TRUE(SocketListened(other_copy.SlotPath(0)));
  EXPECT_FALSE(SocketListened(other_copy.SlotPath(1)));
  ASSERT_EQ(emulator_->Listen(2, &error), EmulatorLink::ListenResult::kListening);
  ScriptedMachine waiting(ConnectTo(emulator_->SlotPath(2)));

  std::vector<std::string> lines;
  for (const MachineListing& machine : ListMachines(100)) lines.push_back(ListingLine(machine));
  EXPECT_EQ(lines, (std::vector<std::string>{"42\temulator\t" + dir_ + "/tppipe00\t-\theld",
                                             "44\temulator\t" + dir_ + "/tppipe02\t-\tfree"}));
  EXPECT_FALSE(other_copy.Peek(0, &error));  // never probed
  EXPECT_FALSE(emulator_->InUse(2));
  EXPECT_TRUE(ConnectionList().empty());
}

}  // namespace
