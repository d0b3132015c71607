// The program's one top-level window: the menu column, the page area, the status line, and the
// machine connection that the pages reach through the command call.
#pragma once

#include <QButtonGroup>
#include <QTimer>
#include <map>
#include <string>

#include "GenericChildDialog.h"
#include "InstanceChecker.h"
#include "MachineHost.h"
#include "StatusDialog.h"

class FooButton;
class QFrame;
class UsbInterface;

class CMainDlg : public CStatusDialog, public MachineHost {
  Q_OBJECT

 public:
  static constexpr unsigned kTemplateId = 102;
  static constexpr int kPageFrameId = 1050;
  static constexpr int kHideAllPages = 65535;
  static constexpr int kMainTimerId = 102;
  static constexpr uint32_t kPollIntervalMs = 200;

  explicit CMainDlg(QWidget* parent = nullptr);
  ~CMainDlg() override;

  CInstanceChecker& InstanceChecker() { return m_InstanceChecker; }

  // MachineHost: the four operations every page may use.
  int SendMachineCommand(const char* command, char* reply, size_t size) override;
  void StatusCodeText(int code, std::string& text) override;
  void SetStatusText(const char* text) override;
  void SetMenuBusy(bool busy) override;

  void ShowPage(int page);
  // The machine poll; a timer calls it, tests call it directly.
  void OnKickIdle();
  void OnTimer();

  GenericChildDialog* Page(int page) const;
  FooButton* MenuButton(int page) const;
  UsbInterface* MachineLink() const;

 protected:
  bool OnInitDialog() override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void reject() override;

 private:
  void CreateMenuButtons();
  void CreatePages();
  void UpdateMachineButtons(bool machine);

  CInstanceChecker m_InstanceChecker;
  std::map<int, GenericChildDialog*> m_Pages;
  FooButton* m_MenuButtons[6] = {};
  QButtonGroup m_MenuGroup;
  QFrame* m_PageFrame = nullptr;
  QTimer m_MainTimer;
  QTimer m_IdleTimer;
};

// The program's icon, drawn rather than loaded so that it is always there.
QIcon ApplicationIcon();

// Ends the running dialog loop at once (without the close handling) and makes `exit_code` the
// program's exit code: another copy's "-close" and the critical-error path end the program so.
void EndDialogLoop(int exit_code);
int RequestedExitCode();

// Drops the machine link and forgets the poll's state (tests).
void ResetMachineConnectionForTests();
