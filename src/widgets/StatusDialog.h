// The base of every dialog of the program: an optional status bar, rich tool tips, a window
// position that survives from one run to the next, the program status line, and the
// diagnostic keys.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QRect>
#include <string>

#include "DialogUnits.h"

class QKeyEvent;
class QLabel;
class QStatusBar;

class CStatusDialog : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kStatusPaneId = 1067;
  static constexpr int kDumpScreenCommand = 40010;

  // `template_id` keys the remembered window position; `name` is "MainDialog" for the main
  // dialog and the page name for a page.
  CStatusDialog(unsigned template_id, QWidget* parent, const char* name);
  ~CStatusDialog() override;

  unsigned TemplateId() const { return m_TemplateId; }
  const std::string& Name() const { return m_Name; }

  // Runs the initialisation once; the first showing runs it otherwise. Returns true.
  bool InitDialog();
  bool IsInitialised() const { return m_Initialised; }

  // Writes into this dialog's own status bar, else into the program status line, else nowhere.
  void SetStatusText(const char* text);
  // Makes this dialog's status bar the program status line (the main dialog does this).
  void PublishStatusLine();
  QStatusBar* StatusBar() const { return m_StatusBar; }
  QLabel* StatusPane() const { return m_StatusPane; }

  // Layout in dialog units of this dialog's font.
  DialogUnits Units() const { return DialogUnits(font()); }
  // Gives the dialog the client size of its layout.
  void SetTemplateSize(int cx, int cy);
  // Places a control by its layout rectangle and gives it its number and object name.
  void PlaceControl(QWidget* control, int id, const char* object_name, const QRect& units);

  // Tool tips may carry bold text between "<B>" and "<\B>".
  static QString ToolTipHtml(const char* text);
  static void AddToolTip(QWidget* control, const char* text);

  // The key filter, run for every key press meant for this dialog or one of its controls
  // before the control sees it. True when the key was consumed. It hooks the window the key
  // arrives at, so tests send keys to the window: QTest::keyClick(dialog.windowHandle(), ...).
  virtual bool PreTranslateKey(QKeyEvent* event);

 public slots:
  // Copies the dialog's image to the clipboard and to "Test.bmp" in the current directory.
  void DumpScreen();

 protected:
  // The initialisation: status bar (when m_bStatusBar is 1) and remembered position. Derived
  // dialogs override it and call this at the point their own steps need it.
  virtual bool OnInitDialog();
  // The help command that F1 reaches when the key filter lets it through.
  virtual void OnHelp();

  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  // Enter presses the focused button of this dialog, as an operator at the machine expects of
  // Start or Continue; true when there was one. Enter never ends a dialog.
  bool PressFocusedButton();
  void resizeEvent(QResizeEvent* event) override;

  // 1: the initialisation gives this dialog a status bar. Page constructors set it to 0.
  int m_bStatusBar = 1;
  unsigned m_TemplateId;

 private:
  void CreateStatusBar();
  void MoveToRememberedPos();
  void PlaceStatusBar();

  std::string m_Name;
  QStatusBar* m_StatusBar = nullptr;
  QLabel* m_StatusPane = nullptr;
  bool m_Initialised = false;
};
