// quadrelle-prepare's one window: make a set of boards into a deal file, and make the hand
// record of a deal file (then show it in the desktop's PDF viewer). The analysis runs on a
// worker thread so the window stays alive; everything else runs on the GUI thread.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>

#include "DealGenerator.h"
#include "DealWrite.h"

class CConditionBox;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTimer;
struct ConditionRun;

class CPrepareDialog : public QDialog {
  Q_OBJECT

 public:
  explicit CPrepareDialog(QWidget* parent = nullptr);
  // Stops a search still running, and waits for it.
  ~CPrepareDialog() override;

  // Which part the window opens on, as the deal-tool and print-tool buttons ask.
  void FocusGenerate();
  void FocusHandRecord(const QString& deal_file);

  // Writes the set the generate fields describe. False (with a message box) when a field is
  // wrong or the file cannot be written. With a condition script the boards are searched for
  // on worker threads: true then means the search started, and GenerateDone tells the end.
  bool Generate();
  // Stops a running search; nothing is written.
  void CancelSearch();
  // Starts the hand record of the file in the hand-record fields; HandRecordDone tells the end.
  // False (with a message box) when it cannot start.
  bool MakeHandRecord();
  bool Busy() const { return m_Busy; }

  // Where the PDF of `deal_file` goes when no other place is given: beside it, or in the
  // user's documents folder when its folder cannot be written (the installed sample session).
  static QString DefaultPdfPath(const QString& deal_file);

  // What opens the finished PDF; the desktop's viewer unless a test puts its own.
  void SetPdfOpener(std::function<void(const QString& pdf)> opener) {
    m_Opener = std::move(opener);
  }

 signals:
  void HandRecordDone(bool written);
  void GenerateDone(bool written);

 private:
  void OnBrowseDealFile();
  void OnBrowseRecordSource();
  bool StartSearch(const QString& script, const QString& path, DealFileKind kind,
                   const DealSeed* seed);
  void SearchFinished(const QString& path, DealFileKind kind, bool rotate);
  void ShowSearchProgress();
  void SetBusy(bool busy);
  void Fail(const QString& text);

  QSpinBox* m_Count = nullptr;
  QSpinBox* m_First = nullptr;
  QLineEdit* m_Seed = nullptr;
  QComboBox* m_Format = nullptr;
  QLineEdit* m_DealFile = nullptr;
  QPushButton* m_Generate = nullptr;
  CConditionBox* m_Condition = nullptr;
  QLabel* m_Progress = nullptr;
  QPushButton* m_Cancel = nullptr;
  QTimer* m_ProgressTimer = nullptr;
  std::shared_ptr<ConditionRun> m_Run;  // the search running, if any
  QLineEdit* m_Source = nullptr;
  QLineEdit* m_Range = nullptr;
  QLineEdit* m_Pdf = nullptr;
  QCheckBox* m_WritePbn = nullptr;
  QPushButton* m_MakeRecord = nullptr;
  QLabel* m_Status = nullptr;
  bool m_Busy = false;
  std::function<void(const QString&)> m_Opener;
};
