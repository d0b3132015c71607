// The machine's wire format: the 65-byte packet record (report id byte + 64-byte packet whose
// first two bytes are its type), the packet types, and builders and readers for each layout.
// Both ends of the link use this one definition: the host link and the machine simulator.
// Depends on the standard library only.
//
// Offsets below count from the report id byte (byte 0), as every queue and buffer holds them.
// All multi-byte fields are little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr size_t kPacketRecordSize = 65;  // report id + packet
constexpr size_t kPacketSize = 64;        // what the bulk wire carries per packet
constexpr size_t kDataBytesPerPacket = 60;
constexpr size_t kCommandMaxChars = 61;
constexpr size_t kLoginNameChars = 15;

// Packet types (bytes 1-2).
enum PacketType : uint16_t {
  PACKET_LOG = 0x1006,         // machine trace text, dropped by the host on arrival
  PACKET_USERSTATUS = 0x1236,  // unasked status, dropped by the host on arrival
  PACKET_DATA = 0xA001,        // a piece of reply text
  PACKET_HEADER = 0xB002,      // opens a command (host) or a reply (machine)
  PACKET_F = 0xC003,           // not used by the host
  PACKET_STATUS = 0xD004,      // closes a reply, or answers alone
  PACKET_Q = 0xE005,           // not used by the host
  PACKET_COMMAND = 0xF006,     // the command text
  PACKET_ALIVE = 0xCCDF,       // the host's link test
};

// Field offsets of the layouts.
namespace packet_offset {
constexpr size_t kReportId = 0;
constexpr size_t kType = 1;
constexpr size_t kBody = 3;
// HEADER (host and reply) and ALIVE.
constexpr size_t kHeaderLogin = 3;          // 15 characters, zero-padded; byte 18 is 0
constexpr size_t kHeaderReserved = 19;      // u32, 0 from the host
constexpr size_t kHeaderCount = 23;         // u32: COMMAND packets (host) / DATA packets (reply)
constexpr size_t kHeaderTransmission = 27;  // u32
constexpr size_t kHeaderBlockSize = 31;     // u32, 256 from the host
constexpr size_t kHeaderVersion = 35;       // u8, 3 from the host
constexpr size_t kHeaderReplyLength = 36;   // u32, reply HEADER only
constexpr size_t kCommandText = 3;          // 61 characters
constexpr size_t kDataSequence = 3;         // u16
constexpr size_t kDataText = 5;             // 60 bytes
constexpr size_t kStatusCode = 7;           // u8
constexpr size_t kStatusText = 8;           // zero-terminated, bytes 8-64
constexpr size_t kLogText = 3;              // bytes 3-64
}  // namespace packet_offset

// One packet record. Plain bytes: copied by value, compared with ==, sent as it stands.
struct PacketRecord {
  uint8_t bytes[kPacketRecordSize] = {};

  uint8_t* data() { return bytes; }
  const uint8_t* data() const { return bytes; }
  uint8_t& operator[](size_t i) { return bytes[i]; }
  uint8_t operator[](size_t i) const { return bytes[i]; }
  bool operator==(const PacketRecord&) const = default;
};
static_assert(sizeof(PacketRecord) == kPacketRecordSize);

// Little-endian field access. Offsets must leave room for the field (they are the constants
// above); the readers never look past byte 64.
uint16_t ReadU16(const PacketRecord& p, size_t offset);
uint32_t ReadU32(const PacketRecord& p, size_t offset);
void WriteU16(PacketRecord& p, size_t offset, uint16_t value);
void WriteU32(PacketRecord& p, size_t offset, uint32_t value);

// --- Readers ---------------------------------------------------------------------------------

uint16_t PacketTypeOf(const PacketRecord& p);
// The trace name of a packet: "L", "U", "D#%02hi", "H", "F", "S", "Q", "C", or "X(%hX)".
// Writes at most `size` bytes including the NUL into `buffer` and returns it.
const char* PacketTypeName(const PacketRecord& p, char* buffer, size_t size);
std::string PacketTypeName(const PacketRecord& p);

// HEADER (either direction).
std::string HeaderLoginName(const PacketRecord& p);  // at most 15 characters
uint32_t HeaderPacketCount(const PacketRecord& p);
uint32_t HeaderTransmission(const PacketRecord& p);
uint32_t HeaderBlockSize(const PacketRecord& p);
uint8_t HeaderVersion(const PacketRecord& p);
uint32_t HeaderReplyLength(const PacketRecord& p);

// COMMAND: the text up to its first zero, at most 61 characters.
std::string CommandText(const PacketRecord& p);

// DATA.
uint16_t DataSequence(const PacketRecord& p);
const uint8_t* DataText(const PacketRecord& p);  // 60 bytes

// STATUS.
uint8_t StatusCode(const PacketRecord& p);
std::string StatusText(const PacketRecord& p);  // up to the first zero, at most 57 characters

// LOG: the text up to its first zero, at most 62 characters.
std::string LogText(const PacketRecord& p);

// --- Builders --------------------------------------------------------------------------------

// The host's HEADER: login name (first 15 characters), 0, 1 COMMAND packet, the transmission
// number, 256, 3.
PacketRecord MakeHostHeader(const char* login_name, uint32_t transmission);
// COMMAND: the text cut to 61 characters, zero-padded when shorter.
PacketRecord MakeCommand(const char* text);
// ALIVE: laid out like the host HEADER, transmission number 0.
PacketRecord MakeAlive(const char* login_name);

// The machine's reply HEADER: n DATA packets follow, answering `transmission`, `length` bytes.
PacketRecord MakeReplyHeader(uint32_t data_packets, uint32_t transmission, uint32_t length);
// DATA: sequence number and up to 60 bytes of text (zero-padded).
PacketRecord MakeData(uint16_t sequence, const void* text, size_t length);
// STATUS: the status and a text of at most 56 characters, zero-terminated.
PacketRecord MakeStatus(uint8_t status, const char* text);
// LOG with a text of at most 62 characters; USERSTATUS with an empty body.
PacketRecord MakeLog(const char* text);
PacketRecord MakeUserStatus();
// A packet of any type with an empty body.
PacketRecord MakePacket(uint16_t type);

// A whole reply as the machine sends it: HEADER, ceil(length / 60) DATA packets, STATUS.
std::vector<PacketRecord> MakeReply(uint32_t transmission, const void* text, size_t length,
                                    uint8_t status = 0, const char* status_text = "");

// DATA packets needed for a reply of `length` bytes.
constexpr uint64_t DataPacketsFor(uint64_t length) {
  return (length + kDataBytesPerPacket - 1) / kDataBytesPerPacket;
}
