#pragma once
// User text (a braid word) inside a line of a file or of the printed summary. The text is
// free-form, so a newline in it would start a new record of a line-based format, and bytes
// that are not ASCII may be rejected by a reader that expects an ASCII header.

#include <string>
#include <string_view>

// `text` with every byte outside printable ASCII written as \xHH, and `\` and `"` as `\\` and
// `\"`, so that the result fits in one line between double quotes and reads back unchanged.
inline std::string PrintableText(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string result;
  result.reserve(text.size());
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (b == '\\' || b == '"') {
      result += '\\';
      result += c;
    } else if (b >= 0x20 && b < 0x7F) {
      result += c;
    } else {
      result += "\\x";
      result += kHex[b >> 4];
      result += kHex[b & 0xF];
    }
  }
  return result;
}

// `text` quoted in a message: cut after 40 bytes, with its length, when it is much longer, so
// that a pasted page or a number of 300 digits does not fill the terminal.
inline std::string Abbreviated(std::string_view text) {
  constexpr size_t kKept = 40;
  if (text.size() <= kKept + 20) return std::string(text);
  return std::string(text.substr(0, kKept)) + "... (" + std::to_string(text.size()) +
         " characters)";
}
