#pragma once

#include <QString>
#include <QStringView>

#include <optional>
#include <string>
#include <string_view>

// The one place where the program converts between the Shift-JIS (code page 932) bytes that the
// seal records, format files and the Velmor program use and the Unicode text of the user interface.
namespace velmr::platform::cp932 {

// True for a byte that starts a double-byte Shift-JIS character.
constexpr bool IsLeadByte(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// The Shift-JIS bytes of `text`, or nothing when a character of it has no code in CP932.
std::optional<std::string> Encode(QStringView text);

// The Shift-JIS bytes of `text`, a character that CP932 cannot hold written as "?".
std::string EncodeLossy(QStringView text);

// The Unicode text of Shift-JIS `bytes`. A byte sequence that is not valid Shift-JIS becomes
// U+FFFD for each byte that could not be read, so nothing is silently dropped.
QString Decode(std::string_view bytes);

// The first character of `text` that CP932 cannot hold, or nothing when all can be held.
std::optional<QString> FirstUnrepresentable(QStringView text);

// The longest prefix of `bytes` of at most `maxBytes` bytes that ends on a character boundary:
// a double-byte character that would be split is left out whole.
std::string_view CutToBytes(std::string_view bytes, std::size_t maxBytes);

// Byte length of the Shift-JIS form of `text` (nothing when it is unrepresentable).
std::optional<std::size_t> EncodedLength(QStringView text);

} // namespace velmr::platform::cp932
