#include "PacketFormat.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// Length of a zero-terminated text within bytes [offset, offset + max) of the record.
size_t BoundedLength(const PacketRecord& p, size_t offset, size_t max) {
  const size_t limit = std::min(max, kPacketRecordSize - offset);
  const void* zero = std::memchr(p.bytes + offset, 0, limit);
  return zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - (p.bytes + offset)) : limit;
}

std::string BoundedText(const PacketRecord& p, size_t offset, size_t max) {
  return std::string(reinterpret_cast<const char*>(p.bytes + offset),
                     BoundedLength(p, offset, max));
}

void CopyText(PacketRecord& p, size_t offset, const char* text, size_t max) {
  if (text == nullptr) return;
  const size_t n = strnlen(text, max);
  std::memcpy(p.bytes + offset, text, n);
}

PacketRecord HeaderLike(uint16_t type, const char* login_name, uint32_t transmission) {
  PacketRecord p = MakePacket(type);
  CopyText(p, packet_offset::kHeaderLogin, login_name, kLoginNameChars);
  WriteU32(p, packet_offset::kHeaderReserved, 0);
  WriteU32(p, packet_offset::kHeaderCount, 1);
  WriteU32(p, packet_offset::kHeaderTransmission, transmission);
  WriteU32(p, packet_offset::kHeaderBlockSize, 256);
  p[packet_offset::kHeaderVersion] = 3;
  return p;
}

}  // namespace

uint16_t ReadU16(const PacketRecord& p, size_t offset) {
  return static_cast<uint16_t>(p[offset] | (p[offset + 1] << 8));
}

uint32_t ReadU32(const PacketRecord& p, size_t offset) {
  return static_cast<uint32_t>(p[offset]) | (static_cast<uint32_t>(p[offset + 1]) << 8) |
         (static_cast<uint32_t>(p[offset + 2]) << 16) |
         (static_cast<uint32_t>(p[offset + 3]) << 24);
}

void WriteU16(PacketRecord& p, size_t offset, uint16_t value) {
  p[offset] = static_cast<uint8_t>(value);
  p[offset + 1] = static_cast<uint8_t>(value >> 8);
}

void WriteU32(PacketRecord& p, size_t offset, uint32_t value) {
  for (size_t i = 0; i < 4; ++i) p[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint16_t PacketTypeOf(const PacketRecord& p) {
  return ReadU16(p, packet_offset::kType);
}

const char* PacketTypeName(const PacketRecord& p, char* buffer, size_t size) {
  if (buffer == nullptr || size == 0) return buffer;
  const uint16_t type = PacketTypeOf(p);
  switch (type) {
    case PACKET_LOG:
      snprintf(buffer, size, "L");
      break;
    case PACKET_USERSTATUS:
      snprintf(buffer, size, "U");
      break;
    case PACKET_DATA:
      snprintf(buffer, size, "D#%02hi", static_cast<short>(DataSequence(p)));
      break;
    case PACKET_HEADER:
      snprintf(buffer, size, "H");
      break;
    case PACKET_F:
      snprintf(buffer, size, "F");
      break;
    case PACKET_STATUS:
      snprintf(buffer, size, "S");
      break;
    case PACKET_Q:
      snprintf(buffer, size, "Q");
      break;
    case PACKET_COMMAND:
      snprintf(buffer, size, "C");
      break;
    default:  // ALIVE among them: "X(CCDF)"
      snprintf(buffer, size, "X(%hX)", type);
      break;
  }
  return buffer;
}

std::string PacketTypeName(const PacketRecord& p) {
  char buffer[32];
  return PacketTypeName(p, buffer, sizeof buffer);
}

std::string HeaderLoginName(const PacketRecord& p) {
  return BoundedText(p, packet_offset::kHeaderLogin, kLoginNameChars);
}
uint32_t HeaderPacketCount(const PacketRecord& p) {
  return ReadU32(p, packet_offset::kHeaderCount);
}
uint32_t HeaderTransmission(const PacketRecord& p) {
  return ReadU32(p, packet_offset::kHeaderTransmission);
}
uint32_t HeaderBlockSize(const PacketRecord& p) {
  return ReadU32(p, packet_offset::kHeaderBlockSize);
}
uint8_t HeaderVersion(const PacketRecord& p) {
  return p[packet_offset::kHeaderVersion];
}
uint32_t HeaderReplyLength(const PacketRecord& p) {
  return ReadU32(p, packet_offset::kHeaderReplyLength);
}

std::string CommandText(const PacketRecord& p) {
  return BoundedText(p, packet_offset::kCommandText, kCommandMaxChars);
}

uint16_t DataSequence(const PacketRecord& p) {
  return ReadU16(p, packet_offset::kDataSequence);
}
const uint8_t* DataText(const PacketRecord& p) {
  return p.bytes + packet_offset::kDataText;
}

uint8_t StatusCode(const PacketRecord& p) {
  return p[packet_offset::kStatusCode];
}
std::string StatusText(const PacketRecord& p) {
  return BoundedText(p, packet_offset::kStatusText, kPacketRecordSize);
}

std::string LogText(const PacketRecord& p) {
  return BoundedText(p, packet_offset::kLogText, kPacketRecordSize);
}

PacketRecord MakePacket(uint16_t type) {
  PacketRecord p;
  WriteU16(p, packet_offset::kType, type);
  return p;
}

PacketRecord MakeHostHeader(const char* login_name, uint32_t transmission) {
  return HeaderLike(PACKET_HEADER, login_name, transmission);
}

PacketRecord MakeCommand(const char* text) {
  PacketRecord p = MakePacket(PACKET_COMMAND);
  CopyText(p, packet_offset::kCommandText, text, kCommandMaxChars);
  return p;
}

PacketRecord MakeAlive(const char* login_name) {
  return HeaderLike(PACKET_ALIVE, login_name, 0);
}

PacketRecord MakeReplyHeader(uint32_t data_packets, uint32_t transmission, uint32_t length) {
  PacketRecord p = MakePacket(PACKET_HEADER);
  WriteU32(p, packet_offset::kHeaderCount, data_packets);
  WriteU32(p, packet_offset::kHeaderTransmission, transmission);
  WriteU32(p, packet_offset::kHeaderReplyLength, length);
  return p;
}

PacketRecord MakeData(uint16_t sequence, const void* text, size_t length) {
  PacketRecord p = MakePacket(PACKET_DATA);
  WriteU16(p, packet_offset::kDataSequence, sequence);
  if (text != nullptr) {
    std::memcpy(p.bytes + packet_offset::kDataText, text, std::min(length, kDataBytesPerPacket));
  }
  return p;
}

PacketRecord MakeStatus(uint8_t status, const char* text) {
  PacketRecord p = MakePacket(PACKET_STATUS);
  p[packet_offset::kStatusCode] = status;
  // Leave the last byte zero so the text is always terminated.
  CopyText(p, packet_offset::kStatusText, text, kPacketRecordSize - packet_offset::kStatusText - 1);
  return p;
}

PacketRecord MakeLog(const char* text) {
  PacketRecord p = MakePacket(PACKET_LOG);
  CopyText(p, packet_offset::kLogText, text, kPacketRecordSize - packet_offset::kLogText);
  return p;
}

PacketRecord MakeUserStatus() {
  return MakePacket(PACKET_USERSTATUS);
}

std::vector<PacketRecord> MakeReply(uint32_t transmission, const void* text, size_t length,
                                    uint8_t status, const char* status_text) {
  const size_t n = static_cast<size_t>(DataPacketsFor(length));
  std::vector<PacketRecord> reply;
  reply.reserve(n + 2);
  reply.push_back(
      MakeReplyHeader(static_cast<uint32_t>(n), transmission, static_cast<uint32_t>(length)));
  const auto* bytes = static_cast<const uint8_t*>(text);
  for (size_t i = 0; i < n; ++i) {
    const size_t offset = i * kDataBytesPerPacket;
    reply.push_back(MakeData(static_cast<uint16_t>(i), bytes + offset,
                             std::min(kDataBytesPerPacket, length - offset)));
  }
  reply.push_back(MakeStatus(status, status_text));
  return reply;
}
