// quadrelle-prepare [--generate | --handrecord [FILE]]: the window that makes sets of boards and
// hand records. The deal-tool and print-tool buttons of quadrelle start it when no other tool is
// set up; the options only say which part to open on.
#include <QApplication>
#include <cstdio>
#include <cstring>

#include "PrepareDialog.h"
#include "log.h"
#include "version.h"

namespace {

constexpr const char* kUsage =
    "usage: quadrelle-prepare [--generate | --handrecord [FILE]]\n"
    "       quadrelle-prepare --help | --version\n";

constexpr const char* kHelp =
    "Makes sets of boards (as quadrelle-deals --generate does) and hand records with\n"
    "double-dummy analysis (as quadrelle-handrecord does), and shows the hand record in\n"
    "the desktop's PDF viewer. --generate opens on the set of boards, --handrecord on\n"
    "the hand record of FILE.\n";

}  // namespace

int main(int argc, char** argv) {
  // The readers' trace lines have no log to go to; their reasons are shown in the window.
  TraceSetStandardOutput(nullptr);
  const bool one = argc == 2;
  if (AnswerHelpOrVersion(argc, argv, "quadrelle-prepare", kUsage, kHelp)) return 0;
  const bool generate = one && std::strcmp(argv[1], "--generate") == 0;
  const bool record = argc >= 2 && argc <= 3 && std::strcmp(argv[1], "--handrecord") == 0;
  if (argc > 1 && !generate && !record) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  QApplication application(argc, argv);
  CPrepareDialog dialog;
  if (record) {
    dialog.FocusHandRecord(argc == 3 ? QString::fromLocal8Bit(argv[2]) : QString());
  } else {
    dialog.FocusGenerate();
  }
  dialog.show();
  return application.exec();
}
