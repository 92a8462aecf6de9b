#include "host/FXString.h"

#include <cstdio>
#include <cstring>

namespace AliCloudWrapper {
namespace FXString {

namespace {

unsigned char LowerAscii(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

}  // namespace

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string strResult = FormatV(format, args);
  va_end(args);
  return strResult;
}

std::string FormatV(const char* format, va_list args) {
  if (format == nullptr) return std::string();
  // Most texts fit the stack buffer; longer ones (response bodies) are formatted
  // a second time into a buffer of the exact size.
  char buffer[512];
  va_list copy;
  va_copy(copy, args);
  int nLength = std::vsnprintf(buffer, sizeof(buffer), format, copy);
  va_end(copy);
  if (nLength < 0) return std::string();
  if (static_cast<size_t>(nLength) < sizeof(buffer)) return std::string(buffer, nLength);

  std::string strResult(static_cast<size_t>(nLength), '\0');
  va_copy(copy, args);
  std::vsnprintf(strResult.data(), strResult.size() + 1, format, copy);
  va_end(copy);
  return strResult;
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to, size_t start) {
  // An empty pattern would match everywhere forever; it replaces nothing.
  if (from.empty()) return;
  for (size_t nPos = text.find(from, start); nPos != std::string::npos;
       nPos = text.find(from, nPos + to.size())) {
    text.replace(nPos, from.size(), to);
  }
}

void RemoveRight(std::string& text, const std::string& suffix) {
  if (suffix.size() <= text.size() &&
      text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0) {
    text.erase(text.size() - suffix.size());
  }
}

const char* FindString(const std::string& text, const std::string& part, bool bCaseSensitive) {
  if (bCaseSensitive) {
    size_t nPos = text.find(part);
    return nPos == std::string::npos ? nullptr : text.c_str() + nPos;
  }
  if (part.size() > text.size()) return nullptr;
  for (size_t nPos = 0; nPos + part.size() <= text.size(); ++nPos) {
    size_t i = 0;
    while (i < part.size() && LowerAscii(static_cast<unsigned char>(text[nPos + i])) ==
                                  LowerAscii(static_cast<unsigned char>(part[i]))) {
      ++i;
    }
    if (i == part.size()) return text.c_str() + nPos;
  }
  return nullptr;
}

int CompareNoCase(const std::string& a, const std::string& b) {
  size_t nCommon = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < nCommon; ++i) {
    int nDiff = LowerAscii(static_cast<unsigned char>(a[i])) -
                LowerAscii(static_cast<unsigned char>(b[i]));
    if (nDiff != 0) return nDiff;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::string EscapeControlCharacters(const std::string& text) {
  auto IsControl = [](unsigned char c) { return (c < 0x20 && c != '\t') || c == 0x7F; };
  size_t nFirst = 0;
  while (nFirst < text.size() && !IsControl(static_cast<unsigned char>(text[nFirst]))) ++nFirst;
  if (nFirst == text.size()) return text;  // the usual case: nothing to change
  static const char kHex[] = "0123456789abcdef";
  std::string out(text, 0, nFirst);
  for (size_t i = nFirst; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (!IsControl(c)) {
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 0x0F];
    }
  }
  return out;
}

}  // namespace FXString
}  // namespace AliCloudWrapper
