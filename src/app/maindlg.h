// The program's one top-level window: the menu column, the page area, the status line, and the
// machine connection that the pages reach through the command call.
#pragma once

#include <QButtonGroup>
#include <QTimer>
#include <map>
#include <string>

#include "GenericChildDialog.h"
#include "InstanceChecker.h"
#include "MachineConnection.h"
#include "MachineHost.h"
#include "MachineJob.h"
#include "StatusDialog.h"

class FooButton;
class QFrame;
class UsbInterface;

class CMainDlg : public CStatusDialog, public MachineHost, private MachineConnection::Observer {
  Q_OBJECT

 public:
  static constexpr unsigned kTemplateId = 102;
  static constexpr int kPageFrameId = 1050;
  static constexpr int kHideAllPages = 65535;
  static constexpr int kMainTimerId = 102;
  static constexpr uint32_t kPollIntervalMs = MachineConnection::kPollIntervalMs;

  // `which`: the machine this window drives (any machine when Any()); it names the instance
  // and shows in the caption.
  explicit CMainDlg(QWidget* parent = nullptr, const MachineFilter& which = MachineFilter());
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
  // What the machine holds as far as the command call has seen (tests).
  MachineJob::Kind MachineJobKind() const { return m_MachineJob.kind(); }
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
  // The exchange itself; SendMachineCommand guards it and tells the machine job its result.
  int Exchange(const char* command, char* reply, size_t size);

  // MachineConnection::Observer: the poll's own trace lines and the buttons that need a machine.
  void OnSearching() override;
  void OnFound() override;
  void OnAlive() override;
  void OnGone() override;
  void OnHeldChanged(bool held) override;

  CInstanceChecker m_InstanceChecker;
  // Shared by the poll and the command call. Destroying the dialog closes the held machine.
  MachineConnection m_Connection;
  // What the machine holds: while it works on a deck or a split, only STAT goes out.
  MachineJob m_MachineJob;
  MachineJob::Kind m_ShownJobKind = MachineJob::Kind::kNone;  // as the menu buttons show it
  bool m_Polling = false;
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
