#include "State.h"

#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "Protocol.h"

namespace controller {
namespace {

std::string Escape(const std::string& text) {
  std::string out;
  char code[5];
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte > ' ' && byte <= '~' && byte != '\\') {
      out += c;
    } else {
      std::snprintf(code, sizeof code, "\\x%02X", byte);
      out += code;
    }
  }
  return out;
}

std::optional<std::string> Unescape(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    unsigned value = 0;
    if (i + 3 >= text.size() || text[i + 1] != 'x' ||
        std::from_chars(text.data() + i + 2, text.data() + i + 4, value, 16).ptr !=
            text.data() + i + 4) {
      return std::nullopt;
    }
    out += static_cast<char>(value);
    i += 3;
  }
  return out;
}

template <typename T>
std::optional<T> Number(std::string_view text) {
  T value{};
  const auto end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || text.empty()) {
    return std::nullopt;
  }
  return value;
}

// Applies one line; false when it is not a valid item.
bool ApplyLine(std::string_view line, ControllerState& state) {
  const auto blank = line.find(' ');
  if (blank == std::string_view::npos) {
    return false;
  }
  const auto key = line.substr(0, blank);
  const auto rest = line.substr(blank + 1);
  if (key == "timeout") {
    const auto value = Number<std::uint16_t>(rest);
    state.relayTimeout = value.value_or(0);
    return value.has_value();
  }
  if (key == "external") {
    state.externalDisconnection = rest == "1";
    return rest == "0" || rest == "1";
  }
  if (key == "password") {
    const auto text = Unescape(rest);
    if (!text || text->size() > kPasswordSize || text->find('\0') != std::string::npos) {
      return false;
    }
    state.password = *text;
    return true;
  }
  if (key == "phone") {
    const auto space = rest.find(' ');
    const auto slot = Number<std::uint16_t>(rest.substr(0, space));
    const auto text =
        space == std::string_view::npos ? std::nullopt : Unescape(rest.substr(space + 1));
    if (!slot || *slot == 0 || *slot > kLastSlot || !text || text->empty() ||
        text->size() > kNumberSize || text->find('\0') != std::string::npos) {
      return false;
    }
    state.phones[*slot] = *text;
    return true;
  }
  return false;
}

}  // namespace

ControllerState GeneratedState(std::uint16_t count) {
  ControllerState state;
  char number[16];
  for (std::uint16_t slot = 1; slot <= count && slot <= kLastSlot; ++slot) {
    std::snprintf(number, sizeof number, "0612%07u", static_cast<unsigned>(slot));
    state.phones[slot] = number;
  }
  return state;
}

ControllerState LoadState(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    throw std::runtime_error("cannot read " + file.string());
  }
  ControllerState state;
  state.phones.clear();
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    if (line.empty() || line[0] == '#') {
      continue;
    }
    if (!ApplyLine(line, state)) {
      throw std::runtime_error(file.string() + ":" + std::to_string(number) + ": bad line \"" +
                               line + "\"");
    }
  }
  return state;
}

void SaveState(const ControllerState& state, const std::filesystem::path& file) {
  std::ostringstream out;
  out << "# tavkel-controller state\n";
  out << "timeout " << state.relayTimeout << '\n';
  out << "external " << (state.externalDisconnection ? 1 : 0) << '\n';
  out << "password " << Escape(state.password) << '\n';
  for (const auto& [slot, number] : state.phones) {
    out << "phone " << slot << ' ' << Escape(number) << '\n';
  }
  auto temp = file;
  temp += ".tmp." + std::to_string(::getpid());
  {
    std::ofstream stream(temp, std::ios::binary | std::ios::trunc);
    stream << out.str();
    stream.flush();
    if (!stream) {
      std::error_code ec;
      std::filesystem::remove(temp, ec);
      throw std::runtime_error("cannot write " + temp.string());
    }
  }
  std::error_code ec;
  std::filesystem::rename(temp, file, ec);
  if (ec) {
    std::filesystem::remove(temp, ec);
    throw std::runtime_error("cannot replace " + file.string() + ": " + ec.message());
  }
}

}  // namespace controller
