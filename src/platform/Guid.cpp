#include "platform/Guid.h"

#include "platform/ByteOrder.h"
#include "platform/Sha1.h"

namespace veltro::platform {

namespace {

constexpr size_t kTextLength = 38;
constexpr char kUpperHex[] = "0123456789ABCDEF";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsHyphenPosition(size_t index) {
  return index == 9 || index == 14 || index == 19 || index == 24;
}

}  // namespace

std::optional<Guid> Guid::Parse(std::string_view text) {
  if (text.size() != kTextLength || text.front() != '{' || text.back() != '}') return std::nullopt;
  // The text's 32 hex digits are the network-order bytes, high nibble first.
  std::array<uint8_t, 16> bytes{};
  size_t nibble = 0;
  for (size_t i = 1; i + 1 < kTextLength; ++i) {
    if (IsHyphenPosition(i)) {
      if (text[i] != '-') return std::nullopt;
      continue;
    }
    const int value = HexValue(text[i]);
    if (value < 0) return std::nullopt;
    bytes[nibble / 2] = static_cast<uint8_t>(bytes[nibble / 2] << 4 | value);
    ++nibble;
  }
  return FromNetworkBytes(bytes);
}

std::string Guid::Format() const {
  const std::array<uint8_t, 16> bytes = NetworkBytes();
  std::string text = "{";
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
    text += kUpperHex[bytes[i] >> 4];
    text += kUpperHex[bytes[i] & 0xF];
  }
  text += '}';
  return text;
}

std::array<uint8_t, 16> Guid::NetworkBytes() const {
  std::array<uint8_t, 16> bytes{};
  StoreBigEndian32(bytes.data(), data1);
  bytes[4] = static_cast<uint8_t>(data2 >> 8);
  bytes[5] = static_cast<uint8_t>(data2);
  bytes[6] = static_cast<uint8_t>(data3 >> 8);
  bytes[7] = static_cast<uint8_t>(data3);
  for (size_t i = 0; i < data4.size(); ++i) bytes[8 + i] = data4[i];
  return bytes;
}

Guid Guid::FromNetworkBytes(const std::array<uint8_t, 16>& bytes) {
  Guid guid;
  guid.data1 = LoadBigEndian32(bytes.data());
  guid.data2 = static_cast<uint16_t>(bytes[4] << 8 | bytes[5]);
  guid.data3 = static_cast<uint16_t>(bytes[6] << 8 | bytes[7]);
  for (size_t i = 0; i < guid.data4.size(); ++i) guid.data4[i] = bytes[8 + i];
  return guid;
}

Guid Guid::NameBased(const Guid& namespaceGuid, std::string_view name) {
  const std::array<uint8_t, 16> space = namespaceGuid.NetworkBytes();
  Sha1 sha;
  sha.Update(space.data(), space.size());
  sha.Update(name);
  const Sha1Digest digest = sha.Finish();
  std::array<uint8_t, 16> bytes{};
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = digest[i];
  bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0F) | 0x50);  // version 5: name-based, SHA-1
  bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80);  // variant: RFC 4122
  return FromNetworkBytes(bytes);
}

}  // namespace veltro::platform
