#include "report/phase/html_escape.h"

#include <cstdio>

std::string ptEscapeForScriptString(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size() + 8);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    switch (c) {
      case '"': escaped += "\\\""; break;
      case '\\': escaped += "\\\\"; break;
      case '\'': escaped += "\\'"; break;
      case '<': escaped += "\\x3C"; break;
      case '>': escaped += "\\x3E"; break;
      case '\n': escaped += "\\n"; break;
      case '\r': escaped += "\\r"; break;
      case '\t': escaped += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
          char code[8];
          std::snprintf(code, sizeof code, "\\x%02X", static_cast<unsigned>(static_cast<unsigned char>(c)));
          escaped += code;
        } else if (c == '\xE2' && i + 2 < text.size() && text[i + 1] == '\x80' &&
                   (text[i + 2] == '\xA8' || text[i + 2] == '\xA9')) {
          // U+2028 and U+2029 end a line inside older script parsers.
          escaped += text[i + 2] == '\xA8' ? "\\u2028" : "\\u2029";
          i += 2;
        } else {
          escaped += c;
        }
    }
  }
  return escaped;
}

std::string ptEscapeForHtml(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size() + 8);
  for (const char c : text) {
    switch (c) {
      case '&': escaped += "&amp;"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      case '"': escaped += "&quot;"; break;
      case '\'': escaped += "&#39;"; break;
      default: escaped += c;
    }
  }
  return escaped;
}
