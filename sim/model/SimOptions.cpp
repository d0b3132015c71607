#include "SimOptions.h"

#include <cstring>

#include "SimText.h"

namespace qsim {
namespace {

// Options that stand for a control line: the option's value follows the control words.
struct ControlOption {
  const char* option;
  const char* control;
};

constexpr ControlOption kControlOptions[] = {
    {"--deck", "deck"},
    {"--barcode", "barcode"},
    {"--card-ms", "cardtime"},
    {"--split-decks", "splitdecks"},
    {"--jam", "jam"},
    {"--cardbox", "cardbox"},
    {"--service", "service"},
    {"--fault", "fault"},
    {"--late-ms", "late"},
    {"--stray-log", "stray log"},
    {"--stray-userstatus", "stray userstatus"},
};

}  // namespace

const char* SimUsage() {
  return "usage: quadrelle-sim [options]\n"
         "Stands in for a card-dealing machine on an emulator slot of a running Quadrelle\n"
         "(started with -emulator). Control lines come from standard input and the control\n"
         "socket; type 'help' for them.\n"
         "  --slot N              emulator slot 0..9 (default 0)\n"
         "  --dir PATH            directory of the slots (default $QUADRELLE_EMULATOR_DIR,\n"
         "                        else $XDG_RUNTIME_DIR, else /tmp; on Windows the slots\n"
         "                        are the named pipes \\\\.\\pipe\\tppipe00..09, and PATH or\n"
         "                        $QUADRELLE_EMULATOR_DIR names a folder under \\\\.\\pipe)\n"
         "  --control PATH        also take control lines on a Unix socket at PATH (not on\n"
         "                        Windows: there control lines come from standard input)\n"
         "  --no-stdin            do not read control lines from standard input\n"
         "  --quiet               no log of commands and replies on standard error\n"
         "  --card-ms N           time to read one card (default 250)\n"
         "  --deck WHAT           full | missing CARD | doubled CARD [POS] | shuffled | sorted\n"
         "  --barcode 5bar|7bar   barcode type on the cards (default 7bar)\n"
         "  --seed N              seed for shuffled decks\n"
         "  --split-decks N       decks mixed for a split job (default 2)\n"
         "  --jam N               jam once after N cards\n"
         "  --cardbox in|out      card box inserted or not\n"
         "  --tray                cards lie in the tray at start\n"
         "  --service N,N,N,N,N,N start values of the service counters\n"
         "  --firmware TEXT       the firmware version text\n"
         "  --fault NAME          a link fault for the first reply (see 'help')\n"
         "  --late-ms N           how late a late reply comes (default 1500)\n"
         "  --stray-log N         an unasked LOG packet with every N-th reply\n"
         "  --stray-userstatus N  an unasked USERSTATUS packet with every N-th reply\n"
         "  --unplugged           start with the cable pulled ('plug' connects)\n"
         "  --help                this text\n";
}

SimArgs ParseSimArgs(const std::vector<std::string>& args) {
  SimArgs result;
  auto fail = [&result](const std::string& why) {
    result.error = why;
    return result;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool has_value = i + 1 < args.size();
    if (arg == "--help" || arg == "-h") {
      result.help = true;
    } else if (arg == "--no-stdin") {
      result.read_stdin = false;
    } else if (arg == "--quiet") {
      result.quiet = true;
    } else if (arg == "--tray") {
      result.control_lines.push_back("tray on");
    } else if (arg == "--unplugged") {
      result.control_lines.push_back("unplug");
    } else if (arg == "--slot" || arg == "--dir" || arg == "--control" || arg == "--seed" ||
               arg == "--firmware") {
      if (!has_value) {
        return fail(arg + " needs a value");
      }
      const std::string& value = args[++i];
      if (arg == "--slot") {
        const auto slot = ParseCount(value);
        if (!slot || *slot > 9) {
          return fail("--slot takes 0 to 9");
        }
        result.slot = *slot;
      } else if (arg == "--dir") {
        result.directory = value;
      } else if (arg == "--control") {
        result.control_socket = value;
      } else if (arg == "--seed") {
        const auto seed = ParseCount(value);
        if (!seed) {
          return fail("--seed takes a number");
        }
        result.machine.seed = static_cast<uint32_t>(*seed);
      } else {
        result.machine.firmware = value;
      }
    } else {
      const ControlOption* option = nullptr;
      for (const ControlOption& candidate : kControlOptions) {
        if (arg == candidate.option) {
          option = &candidate;
        }
      }
      if (option == nullptr) {
        return fail("unknown option " + arg);
      }
      if (!has_value) {
        return fail(arg + " needs a value");
      }
      // "doubled:HQ:30" reads like "doubled HQ 30", which is handy in scripts.
      std::string value = args[++i];
      for (char& c : value) {
        if (c == ':') {
          c = ' ';
        }
      }
      result.control_lines.push_back(std::string(option->control) + " " + value);
    }
  }
  return result;
}

}  // namespace qsim
