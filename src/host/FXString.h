// String helpers the whole library uses (printf-style formatting and the small
// in-place edits the request and parser code rely on).
#pragma once

#include <cstdarg>
#include <string>

namespace AliCloudWrapper {
namespace FXString {

// A new text, printf-style.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* format, va_list args);
// Replaces every occurrence of from (from position start on) by to, in place.
void ReplaceAll(std::string& text, const std::string& from, const std::string& to, size_t start = 0);
// Removes suffix once when text ends with it.
void RemoveRight(std::string& text, const std::string& suffix);
// Non-null (a pointer into text) when part occurs in text; bCaseSensitive false ignores ASCII case.
const char* FindString(const std::string& text, const std::string& part, bool bCaseSensitive);
// 0 when equal without regard to ASCII letter case; otherwise <0 or >0 like strcmp.
int CompareNoCase(const std::string& a, const std::string& b);
// text with its control characters made visible: line feed and carriage return
// as "\\n" and "\\r", every other byte below 0x20 (tab aside) and DEL as "\\xNN".
// Caller and server texts pass through it on their way into log lines and
// error texts, so no value can start a forged line of its own.
std::string EscapeControlCharacters(const std::string& text);

}  // namespace FXString
}  // namespace AliCloudWrapper
