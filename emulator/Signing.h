// The service's request signature (HMAC-SHA1, signature version 1.0), written from the
// service's published rules. Kept apart from the library's signing on purpose: the emulator is
// the independent judge of what the library sends.
#pragma once

#include <acw_emulator/Actions.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace AcwEmulator {

// Decodes %XY escapes (and '+' as a space when `plusIsSpace`, as form decoding does). A '%'
// not followed by two hex digits stays as it is.
[[nodiscard]] std::string PercentDecode(std::string_view text, bool plusIsSpace);
// Splits "a=1&b=2" into decoded pairs, keeping their order. "a" alone is ("a", "").
void ParseFormInto(std::string_view text, Params& out);
// Encodes everything but A-Z a-z 0-9 - _ . ~ as upper-case %XY, byte by byte.
[[nodiscard]] std::string PercentEncode(std::string_view text);
// method & %2F & encode(sorted, encoded name=value pairs joined by &), "Signature" left out.
[[nodiscard]] std::string StringToSign(std::string_view method, const Params& params);
// Base64(HMAC-SHA1(secret + "&", stringToSign)).
[[nodiscard]] std::string Sign(std::string_view secret, std::string_view stringToSign);
// Strict "yyyy-MM-ddTHH:mm:ssZ" (UTC, no fraction) to seconds since the epoch.
[[nodiscard]] std::optional<int64_t> ParseUtcTimestamp(std::string_view text);

}  // namespace AcwEmulator
