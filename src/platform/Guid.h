// 128-bit GUIDs: the 38-character brace text form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" and
// stable name-based GUIDs (RFC 4122 version 5), so a sound device keeps its GUID across runs.
#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace veltro::platform {

// A value type; any thread. Fields as in the text form: a 32-bit number, two 16-bit numbers and
// eight bytes.
struct Guid {
  uint32_t data1 = 0;
  uint16_t data2 = 0;
  uint16_t data3 = 0;
  std::array<uint8_t, 8> data4{};

  // Reads exactly the 38-character brace form (hex digits of either case); nothing else.
  static std::optional<Guid> Parse(std::string_view text);
  // The 38-character brace form with upper-case hex digits.
  std::string Format() const;
  // The RFC 4122 version-5 (SHA-1) GUID of `name` (bytes, typically UTF-8) in `namespaceGuid`.
  static Guid NameBased(const Guid& namespaceGuid, std::string_view name);

  // The 16 bytes in RFC 4122 (network, big-endian field) order, and back.
  std::array<uint8_t, 16> NetworkBytes() const;
  static Guid FromNetworkBytes(const std::array<uint8_t, 16>& bytes);

  bool IsNil() const { return *this == Guid{}; }
  friend auto operator<=>(const Guid&, const Guid&) = default;
};

}  // namespace veltro::platform
