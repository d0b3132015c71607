// quadrelle-prepare's one window: make a set of boards into a deal file, and make the hand
// record of a deal file (then show it in the desktop's PDF viewer). The analysis runs on a
// worker thread so the window stays alive; everything else runs on the GUI thread.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

class CPrepareDialog : public QDialog {
  Q_OBJECT

 public:
  explicit CPrepareDialog(QWidget* parent = nullptr);

  // Which part the window opens on, as the deal-tool and print-tool buttons ask.
  void FocusGenerate();
  void FocusHandRecord(const QString& deal_file);

  // Writes the set the generate fields describe. False (with a message box) when a field is
  // wrong or the file cannot be written.
  bool Generate();
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

 private:
  void OnBrowseDealFile();
  void OnBrowseRecordSource();
  void SetBusy(bool busy);
  void Fail(const QString& text);

  QSpinBox* m_Count = nullptr;
  QSpinBox* m_First = nullptr;
  QLineEdit* m_Seed = nullptr;
  QComboBox* m_Format = nullptr;
  QLineEdit* m_DealFile = nullptr;
  QPushButton* m_Generate = nullptr;
  QLineEdit* m_Source = nullptr;
  QLineEdit* m_Range = nullptr;
  QLineEdit* m_Pdf = nullptr;
  QCheckBox* m_WritePbn = nullptr;
  QPushButton* m_MakeRecord = nullptr;
  QLabel* m_Status = nullptr;
  bool m_Busy = false;
  std::function<void(const QString&)> m_Opener;
};
