// The application object: starts the trace log, reads the command line, keeps to one running
// copy and runs the main dialog.
#pragma once

#include <QString>
#include <QStringList>

class CVPCtrlApp {
 public:
  // `arguments` is the command line without the program name.
  explicit CVPCtrlApp(const QStringList& arguments);

  // Runs the program; returns the process exit code.
  int InitInstance();

  bool CloseRequested() const { return m_CloseRequest != 0; }
  const QString& CommandLine() const { return m_CommandLine; }
  // The machine "--machine WHICH" bound this copy to ("" for none).
  const QString& Machine() const { return m_Machine; }

  // Shows a critical trace line to the operator, then ends the dialog loop with exit code 1
  // when a main window exists.
  static void OnCriticalError(const char* text);

  static constexpr const char* kRegistryKey = "Mirelon Consulting";
  static constexpr const char* kAppName = "Quadrelle";
  static constexpr uint32_t kLogSizeLimit = 10485760;

 private:
  void StartLog();
  void ReadSwitches();

  QString m_CommandLine;
  // The command line without "--machine WHICH": the switches are looked for in it, so a
  // machine's name never reads as a switch.
  QString m_Switches;
  QString m_Machine;
  bool m_MachineMissing = false;
  int m_CloseRequest = 0;
};

// True when `pattern` matches anywhere in the command line.
bool CommandLineHas(const QString& command_line, const char* pattern);
