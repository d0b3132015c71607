#include "VPCtrlApp.h"

#include <QApplication>
#include <QDir>
#include <QPointer>
#include <cstdio>
#include <string>

#include "Console.h"
#include "FirstStart.h"
#include "MachineFilter.h"
#include "MachineSwitch.h"
#include "MessageBox.h"
#include "RunSections.h"
#include "USBinterface.h"
#include "log.h"
#include "maindlg.h"
#include "regexpclass.h"
#include "version.h"

namespace {
QPointer<QWidget> g_main_window;
}  // namespace

bool CommandLineHas(const QString& command_line, const char* pattern) {
  RegexpClass matcher(pattern);
  const QByteArray text = command_line.toLocal8Bit();
  return matcher.Match(text.constData()) == 1;
}

CVPCtrlApp::CVPCtrlApp(const QStringList& arguments) : m_CommandLine(arguments.join(' ')) {
  QStringList rest = arguments;
  m_Machine = TakeMachineArgument(rest, &m_MachineMissing);
  m_Switches = rest.join(' ');
}

void CVPCtrlApp::OnCriticalError(const char* text) {
  char message[1200];
  std::snprintf(message, sizeof message, "A critical error was encountered \n%s\n", text);
  ShowUnownedMessageBox(message, "Critical error", BoxButtons::Ok, BoxIcon::Error);
  if (g_main_window != nullptr) {
    EndDialogLoop(1);
  }
}

void CVPCtrlApp::StartLog() {
  // The platform's paths are longer than the log keeps; TraceSetFileName cuts what is too long.
  // A copy bound to a machine keeps its own file, so two copies never write or trim one.
  const QByteArray path =
      QDir::currentPath().toLocal8Bit() + '/' + LogFileName(m_Machine).toLocal8Bit();
  TraceSetFileName(path.constData());
  TraceSetSizeLimit(kLogSizeLimit);
  TraceSetState(TRACE_RUNNING);
}

void CVPCtrlApp::ReadSwitches() {
  if (CommandLineHas(m_Switches, "-close")) {
    m_CloseRequest = 1;
  }
  if (CommandLineHas(m_Switches, "-console")) {
    TraceSetConsole(qsys::OpenConsole());
  } else {
    TRACE('I', "No console mode\n");
  }
  if (CommandLineHas(m_Switches, "-emulator")) {
    EnableEmulatorLink(true);
  }
}

int CVPCtrlApp::InitInstance() {
  const MachineFilter which(m_Machine.toStdString());
  if (m_MachineMissing || (!which.Any() && !which.Valid())) {
    std::fputs(
        "quadrelle: --machine needs the machine's id or serial number (letters, digits, '-', "
        "'_' and '.')\n",
        stderr);
    return 2;
  }
  QCoreApplication::setApplicationName(kAppName);
  try {
    StartLog();
    TRACE('I', "\n ** Application started %s\n ", GetVersionString());
    TRACE('I', "\t %s\n", m_CommandLine.toLocal8Bit().constData());
    ReadSwitches();
    TraceSetThreadName("Main");
    TraceSetCriticalHandler(&CVPCtrlApp::OnCriticalError);
    QCoreApplication::setOrganizationName(kRegistryKey);
    // Sockets, component objects and automation need no set-up here: the copies of the program
    // talk through the instance checker's local socket, and there is no automation server.
  } catch (...) {
  }

  // The run values of a bound copy are its own; the parameters stay shared.
  SetRunSettingsMachine(m_Machine.toStdString());
  CMainDlg dialog(nullptr, which);
  g_main_window = &dialog;
  SetMessageBoxMainWindow(&dialog);
  if (dialog.InstanceChecker().IsOtherInstanceRunning()) {
    if (m_CloseRequest) {
      dialog.InstanceChecker().CloseOtherInstance(0);
    } else {
      dialog.InstanceChecker().ActivateOtherInstance(QString(), 0);
    }
    g_main_window = nullptr;
    SetMessageBoxMainWindow(nullptr);
    return 0;
  }
  // A new operator's store gets the parameters' first-start values before any page reads them.
  StoreFirstStartDefaults();
  try {
    dialog.exec();
  } catch (...) {
    try {
      TRACE('C', "Exception in main dialog\n");
    } catch (...) {
    }
  }
  g_main_window = nullptr;
  SetMessageBoxMainWindow(nullptr);
  return RequestedExitCode();
}
