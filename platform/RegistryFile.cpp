#include "RegistryFile.h"

#include <algorithm>
#include <charconv>
#include <sstream>

#include "Registry.h"

namespace platform {
namespace {

constexpr std::string_view kHeader = "tavkel-registry 1";
constexpr char kHexDigits[] = "0123456789abcdef";

bool NeedsEscape(unsigned char c) {
  return c <= 0x20 || c >= 0x7F || c == '%' || c == '=' || c == '[' || c == ']';
}

void AppendEscaped(std::string& out, std::string_view text) {
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (NeedsEscape(c)) {
      out += '%';
      out += kHexDigits[c >> 4];
      out += kHexDigits[c & 0xF];
    } else {
      out += ch;
    }
  }
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

std::optional<std::string> Unescape(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c != '%') {
      if (NeedsEscape(c)) {
        return std::nullopt;
      }
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) {
      return std::nullopt;
    }
    const int high = HexDigit(text[i + 1]);
    const int low = HexDigit(text[i + 2]);
    if (high < 0 || low < 0) {
      return std::nullopt;
    }
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return out;
}

std::optional<std::vector<BYTE>> ParseHex(std::string_view text) {
  if (text.size() % 2 != 0) {
    return std::nullopt;
  }
  std::vector<BYTE> bytes;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = HexDigit(text[i]);
    const int low = HexDigit(text[i + 1]);
    if (high < 0 || low < 0) {
      return std::nullopt;
    }
    bytes.push_back(static_cast<BYTE>(high * 16 + low));
  }
  return bytes;
}

template <typename T>
std::optional<T> ParseNumber(std::string_view text) {
  T number{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
    return std::nullopt;
  }
  return number;
}

bool IsPlainText(const RegistryValue& value) {
  const auto& data = value.data;
  return value.type == REG_SZ && !data.empty() && data.back() == 0 &&
         std::find(data.begin(), data.end() - 1, 0) == data.end() - 1;
}

void AppendValue(std::string& out, const RegistryValue& value) {
  AppendEscaped(out, value.name);
  out += '=';
  const auto& data = value.data;
  if (value.type == REG_DWORD && data.size() == 4) {
    const DWORD number = data[0] | (data[1] << 8) | (data[2] << 16) | (DWORD{data[3]} << 24);
    out += "dword:" + std::to_string(number);
  } else if (IsPlainText(value)) {
    out += "sz:";
    AppendEscaped(out,
                  std::string_view(reinterpret_cast<const char*>(data.data()), data.size() - 1));
  } else {
    out += "hex(" + std::to_string(value.type) + "):";
    for (const BYTE b : data) {
      out += kHexDigits[b >> 4];
      out += kHexDigits[b & 0xF];
    }
  }
  out += '\n';
}

std::optional<std::vector<std::string>> ParsePath(std::string_view text) {
  std::vector<std::string> path;
  while (!text.empty()) {
    const auto end = text.find('\\');
    auto name = Unescape(text.substr(0, end));
    if (!name || name->empty()) {
      return std::nullopt;
    }
    path.push_back(std::move(*name));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (end != std::string_view::npos && text.empty()) {
      return std::nullopt;  // trailing separator
    }
  }
  return path;
}

std::optional<RegistryValue> ParseValue(std::string_view line) {
  const auto equals = line.find('=');
  const auto colon = line.find(':', equals);
  if (equals == std::string_view::npos || colon == std::string_view::npos) {
    return std::nullopt;
  }
  auto name = Unescape(line.substr(0, equals));
  const auto kind = line.substr(equals + 1, colon - equals - 1);
  const auto payload = line.substr(colon + 1);
  if (!name) {
    return std::nullopt;
  }
  RegistryValue value{std::move(*name), REG_NONE, {}};
  if (kind == "dword") {
    const auto number = ParseNumber<DWORD>(payload);
    if (!number) {
      return std::nullopt;
    }
    value.type = REG_DWORD;
    for (int shift = 0; shift < 32; shift += 8) {
      value.data.push_back(static_cast<BYTE>(*number >> shift));
    }
  } else if (kind == "sz") {
    const auto text = Unescape(payload);
    if (!text || text->find('\0') != std::string::npos) {
      return std::nullopt;
    }
    value.type = REG_SZ;
    value.data.assign(text->begin(), text->end());
    value.data.push_back(0);
  } else if (kind.starts_with("hex(") && kind.ends_with(")")) {
    const auto type = ParseNumber<DWORD>(kind.substr(4, kind.size() - 5));
    auto bytes = ParseHex(payload);
    if (!type || !bytes) {
      return std::nullopt;
    }
    value.type = *type;
    value.data = std::move(*bytes);
  } else {
    return std::nullopt;
  }
  return value;
}

}  // namespace

std::string FormatHive(const RegistryTree& tree) {
  std::string out(kHeader);
  out += '\n';
  for (const auto& key : tree.Keys()) {
    if (key.path.empty() && key.values.empty()) {
      continue;  // the root always exists
    }
    out += '[';
    for (std::size_t i = 0; i < key.path.size(); ++i) {
      if (i > 0) {
        out += '\\';
      }
      AppendEscaped(out, key.path[i]);
    }
    out += "]\n";
    for (const auto& value : key.values) {
      AppendValue(out, value);
    }
  }
  return out;
}

std::optional<RegistryTree> ParseHive(const std::string& text) {
  std::istringstream in(text);
  std::string line;
  if (!std::getline(in, line) || line != kHeader) {
    return std::nullopt;
  }
  RegistryTree tree;
  RegistryKey* key = nullptr;
  while (std::getline(in, line)) {
    if (line.empty()) {
      continue;
    }
    if (line.front() == '[') {
      if (line.back() != ']') {
        return std::nullopt;
      }
      const auto path = ParsePath(std::string_view(line).substr(1, line.size() - 2));
      if (!path) {
        return std::nullopt;
      }
      bool created = false;
      key = &tree.Create(*path, created);
      continue;
    }
    auto value = ParseValue(line);
    if (key == nullptr || !value) {
      return std::nullopt;
    }
    key->SetValue(std::move(*value));
  }
  return tree;
}

}  // namespace platform
