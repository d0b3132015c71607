// quadrelle: the operator's program for the card-dealing machine.
#include <QApplication>
#include <cstdio>
#include <cstring>

#include "Console.h"
#include "VPCtrlApp.h"
#include "version.h"

namespace {

const char kHelp[] =
    "Usage: quadrelle [-console] [-close] [-emulator] [--machine WHICH]\n"
    "\n"
    "The operator's program for the card-dealing machine.\n"
    "\n"
    "  -console    show the trace log in colour on standard output\n"
    "  -close      end the copy of the program that is running, then end\n"
    "  -emulator   also drive a simulated machine (quadrelle-sim) on the emulator slots\n"
    "  --machine WHICH\n"
    "              drive only this machine: its id or serial number (quadrelle-cmd --list\n"
    "              shows them; emulator slot 00 is 42). One window per machine: -close and\n"
    "              the single running copy count per machine\n"
    "  --help      show this text and end\n"
    "  --version   show the program version and end\n"
    "\n"
    "The trace log is written to Quadrelle.txt in the current directory (Quadrelle-WHICH.txt\n"
    "for a copy bound to a machine).\n";

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "--version") == 0) {
      qsys::ShowOutputInParentConsole();
    }
    if (std::strcmp(argv[i], "--help") == 0) {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("quadrelle %s (%s)\n", GetVersionText(), GetVersionString());
      return 0;
    }
  }
  QApplication application(argc, argv);
  QStringList arguments = QApplication::arguments();
  arguments.removeFirst();
  CVPCtrlApp app(arguments);
  return app.InitInstance();
}
