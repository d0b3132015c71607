#include "PacketFormat.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(PacketFormat, HostHeaderLayout) {
  const PacketRecord p = MakeHostHeader("a-very-long-login-name", 0x01020304);
  EXPECT_EQ(p[0], 0);
  EXPECT_EQ(p[1], 0x02);
  EXPECT_EQ(p[2], 0xB0);
  EXPECT_EQ(HeaderLoginName(p), "a-very-long-log");
  EXPECT_EQ(p[18], 0);
  EXPECT_EQ(ReadU32(p, 19), 0u);
  EXPECT_EQ(ReadU32(p, 23), 1u);
  EXPECT_EQ(p[27], 0x04);
  EXPECT_EQ(p[30], 0x01);
  EXPECT_EQ(ReadU32(p, 31), 256u);
  EXPECT_EQ(p[35], 3);
}

TEST(PacketFormat, ShortLoginIsZeroPadded) {
  const PacketRecord p = MakeHostHeader("bob", 1);
  EXPECT_EQ(HeaderLoginName(p), "bob");
  for (size_t i = 6; i <= 18; ++i) EXPECT_EQ(p[i], 0) << i;
}

TEST(PacketFormat, AliveIsHeaderShapedWithTransmissionZero) {
  const PacketRecord p = MakeAlive("bob");
  EXPECT_EQ(PacketTypeOf(p), PACKET_ALIVE);
  EXPECT_EQ(HeaderTransmission(p), 0u);
  EXPECT_EQ(HeaderPacketCount(p), 1u);
  EXPECT_EQ(HeaderBlockSize(p), 256u);
  EXPECT_EQ(HeaderVersion(p), 3);
}

TEST(PacketFormat, CommandCutToSixtyOneWithoutTerminator) {
  const std::string seventy(70, 'x');
  const PacketRecord p = MakeCommand(seventy.c_str());
  EXPECT_EQ(CommandText(p), std::string(61, 'x'));
  EXPECT_EQ(p[63], 'x');
  EXPECT_EQ(p[64], 0);
  const PacketRecord s = MakeCommand("STAT");
  EXPECT_EQ(CommandText(s), "STAT");
  for (size_t i = 7; i < 64; ++i) EXPECT_EQ(s[i], 0) << i;
}

TEST(PacketFormat, TypeNames) {
  struct Case {
    PacketRecord packet;
    const char* name;
  } cases[] = {
      {MakeLog("x"), "L"},
      {MakeUserStatus(), "U"},
      {MakeData(7, "", 0), "D#07"},
      {MakeData(123, "", 0), "D#123"},
      {MakeData(0xFFFF, "", 0), "D#-1"},
      {MakeReplyHeader(0, 0, 0), "H"},
      {MakePacket(PACKET_F), "F"},
      {MakeStatus(0, ""), "S"},
      {MakePacket(PACKET_Q), "Q"},
      {MakeCommand("STAT"), "C"},
      {MakeAlive("u"), "X(CCDF)"},
      {MakePacket(0x1234), "X(1234)"},
  };
  for (const Case& c : cases) EXPECT_EQ(PacketTypeName(c.packet), c.name);
  char small[3];
  EXPECT_STREQ(PacketTypeName(MakeAlive("u"), small, sizeof small), "X(");
}

TEST(PacketFormat, ReplyOfSixtyOneBytesNeedsTwoDataPackets) {
  std::string text(61, 'a');
  text[60] = 'b';
  const auto reply = MakeReply(9, text.data(), text.size(), 0, "OK");
  ASSERT_EQ(reply.size(), 4u);
  EXPECT_EQ(PacketTypeOf(reply[0]), PACKET_HEADER);
  EXPECT_EQ(HeaderPacketCount(reply[0]), 2u);
  EXPECT_EQ(HeaderTransmission(reply[0]), 9u);
  EXPECT_EQ(HeaderReplyLength(reply[0]), 61u);
  EXPECT_EQ(DataSequence(reply[1]), 0);
  EXPECT_EQ(DataSequence(reply[2]), 1);
  EXPECT_EQ(DataText(reply[2])[0], 'b');
  EXPECT_EQ(DataText(reply[2])[1], 0);
  EXPECT_EQ(PacketTypeOf(reply[3]), PACKET_STATUS);
  EXPECT_EQ(StatusText(reply[3]), "OK");
}

TEST(PacketFormat, EmptyReplyIsHeaderAndStatus) {
  const auto reply = MakeReply(1, nullptr, 0);
  ASSERT_EQ(reply.size(), 2u);
  EXPECT_EQ(HeaderPacketCount(reply[0]), 0u);
  EXPECT_EQ(DataPacketsFor(60), 1u);
  EXPECT_EQ(DataPacketsFor(0xFFFFFFFFull), 71582789u);
}

TEST(PacketFormat, StatusTextStaysInsideTheRecord) {
  const std::string long_text(100, 'z');
  const PacketRecord p = MakeStatus(3, long_text.c_str());
  EXPECT_EQ(StatusCode(p), 3);
  EXPECT_EQ(StatusText(p), std::string(56, 'z'));
  // A device may fill the text to the last byte without a terminator.
  PacketRecord raw = MakePacket(PACKET_STATUS);
  std::memset(raw.bytes + 8, 'q', 57);
  EXPECT_EQ(StatusText(raw), std::string(57, 'q'));
  PacketRecord log = MakePacket(PACKET_LOG);
  std::memset(log.bytes + 3, 'l', 62);
  EXPECT_EQ(LogText(log), std::string(62, 'l'));
}

}  // namespace
