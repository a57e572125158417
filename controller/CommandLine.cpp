#include "CommandLine.h"

#include <charconv>
#include <stdexcept>

namespace controller {

const char kUsage[] =
    "usage: tavkel-controller [options]\n"
    "  --state FILE        load the state from FILE when it exists; save it there on exit\n"
    "  --generate N        start with N generated numbers in slots 1 to N (0 to 1000)\n"
    "  --name NAME         device-map name to publish the device under (default COM9)\n"
    "  --baud N            line speed whose byte timing the answers keep (default 9600)\n"
    "  --delay MS          wait MS milliseconds before each answer\n"
    "  --silent            answer nothing\n"
    "  --refuse            answer Refused in place of Accepted, taking nothing over\n"
    "  --split MS          send each answer in two halves, MS milliseconds apart\n"
    "  --merge             send the SettingsReply and the first PhonesReply as one burst\n"
    "  --garbage           send a burst that forms no frame in place of each answer\n"
    "  --stray MS          send one stray byte MS milliseconds after answering WriteSettings\n"
    "  --stray-accepted MS send one stray byte MS milliseconds after each Accepted\n"
    "  --lose-phones N     lose the Nth WritePhones frame on the line: neither take nor answer it\n"
    "  --lose-times K      lose only its first K transmissions (default 1; 0: every one)\n"
    "  --refuse-phones     answer WritePhones with Refused, taking no number over\n"
    "  --hang-up N         drop the line at the Nth request, then publish a fresh device\n"
    "  --no-password-zero  end the PasswordReply without a zero byte before its end byte\n"
    "  --help              show this text\n"
    "The platform root (device map) is $TAVKEL_ROOT, else $XDG_CONFIG_HOME/tavkel, else\n"
    "~/.config/tavkel. SIGINT, SIGTERM, SIGHUP and SIGQUIT end the program: it removes its\n"
    "device-map entry and saves its state (with --state). A signal ignored when the program\n"
    "starts (SIGHUP under nohup) stays ignored.\n";

namespace {

int Integer(std::string_view option, std::string_view text, int low, int high) {
  int value = 0;
  const auto end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end || value < low || value > high) {
    throw std::invalid_argument(std::string(option) + " needs a number from " +
                                std::to_string(low) + " to " + std::to_string(high));
  }
  return value;
}

}  // namespace

ProgramOptions ParseCommandLine(const std::vector<std::string_view>& args) {
  ProgramOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view option = args[i];
    const auto value = [&]() -> std::string_view {
      if (i + 1 >= args.size()) {
        throw std::invalid_argument(std::string(option) + " needs a value");
      }
      return args[++i];
    };
    if (option == "--state") {
      options.stateFile = std::filesystem::path(value());
    } else if (option == "--generate") {
      options.generate = Integer(option, value(), 0, kLastSlot);
    } else if (option == "--name") {
      options.link.name = std::string(value());
    } else if (option == "--baud") {
      options.link.baud = Integer(option, value(), 50, 4'000'000);
    } else if (option == "--delay") {
      options.knobs.delay = std::chrono::milliseconds(Integer(option, value(), 0, 600'000));
    } else if (option == "--silent") {
      options.knobs.silent = true;
    } else if (option == "--refuse") {
      options.knobs.answer.refuse = true;
    } else if (option == "--split") {
      options.knobs.splitPause = std::chrono::milliseconds(Integer(option, value(), 1, 600'000));
    } else if (option == "--merge") {
      options.knobs.answer.mergeFirstPhones = true;
    } else if (option == "--garbage") {
      options.knobs.garbage = true;
    } else if (option == "--stray") {
      options.knobs.strayAfterSettings =
          std::chrono::milliseconds(Integer(option, value(), 1, 600'000));
    } else if (option == "--stray-accepted") {
      options.knobs.strayAfterAccepted =
          std::chrono::milliseconds(Integer(option, value(), 1, 600'000));
    } else if (option == "--lose-phones") {
      options.knobs.losePhonesFrame = Integer(option, value(), 1, 1'000'000);
    } else if (option == "--lose-times") {
      options.knobs.loseTimes = Integer(option, value(), 0, 1'000'000);
    } else if (option == "--refuse-phones") {
      options.knobs.answer.refusePhones = true;
    } else if (option == "--hang-up") {
      options.knobs.hangUpAt = Integer(option, value(), 1, 1'000'000);
    } else if (option == "--no-password-zero") {
      options.knobs.answer.passwordZeroByte = false;
    } else if (option == "--help" || option == "-h") {
      options.help = true;
    } else {
      throw std::invalid_argument("unknown option " + std::string(option));
    }
  }
  return options;
}

ControllerState InitialState(const ProgramOptions& options) {
  if (options.generate) {
    return GeneratedState(static_cast<std::uint16_t>(*options.generate));
  }
  if (options.stateFile && std::filesystem::exists(*options.stateFile)) {
    return LoadState(*options.stateFile);
  }
  return {};
}

}  // namespace controller
