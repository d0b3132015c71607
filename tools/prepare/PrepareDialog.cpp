#include "PrepareDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QFutureWatcher>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QUrl>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <string>
#include <vector>

#include "Analysis.h"
#include "BoardSelection.h"
#include "BriDup.h"
#include "DealGenerator.h"
#include "DealWrite.h"
#include "HandRecordPbn.h"
#include "HandRecordPdf.h"
#include "MessageBox.h"
#include "log.h"

namespace {

// The last warning a reader or writer traced: the reason it failed, without its line break.
QString Reason(const TraceCapture& capture, const char* fallback) {
  const std::vector<std::string> warnings = capture.Texts('W');
  QString reason = QString::fromStdString(warnings.empty() ? fallback : warnings.back());
  return reason.trimmed();
}

// A field with a "Browse..." button beside it.
QWidget* WithBrowse(QLineEdit* field, QPushButton* browse) {
  auto* row = new QWidget;
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(field, 1);
  layout->addWidget(browse);
  return row;
}

struct Analysed {
  bool ok = false;
  std::string error;
  std::vector<AnalysedBoard> boards;
};

}  // namespace

CPrepareDialog::CPrepareDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Quadrelle: boards and hand records"));
  m_Opener = [](const QString& pdf) { QDesktopServices::openUrl(QUrl::fromLocalFile(pdf)); };

  auto* generate = new QGroupBox(QStringLiteral("Make a set of boards"), this);
  generate->setObjectName("generateGroup");
  auto* generate_form = new QFormLayout(generate);
  m_Count = new QSpinBox;
  m_Count->setObjectName("boardCount");
  m_Count->setRange(1, kMaxGeneratedBoards);
  m_Count->setValue(32);
  generate_form->addRow(QStringLiteral("Boards"), m_Count);
  m_First = new QSpinBox;
  m_First->setObjectName("firstBoard");
  m_First->setRange(1, kMaxGeneratedBoards);
  generate_form->addRow(QStringLiteral("First board"), m_First);
  m_Seed = new QLineEdit;
  m_Seed->setObjectName("seed");
  m_Seed->setPlaceholderText(QStringLiteral("empty: new boards from the system's generator"));
  m_Seed->setToolTip(
      QStringLiteral("32 to 128 hex digits: the same seed makes the same boards everywhere"));
  generate_form->addRow(QStringLiteral("Seed (optional)"), m_Seed);
  m_Format = new QComboBox;
  m_Format->setObjectName("format");
  m_Format->addItems({QStringLiteral("pbn"), QStringLiteral("bri"), QStringLiteral("dup")});
  generate_form->addRow(QStringLiteral("Format"), m_Format);
  m_DealFile = new QLineEdit;
  m_DealFile->setObjectName("dealFile");
  auto* browse_deal = new QPushButton(QStringLiteral("Browse..."));
  browse_deal->setObjectName("browseDealFile");
  generate_form->addRow(QStringLiteral("Deal file"), WithBrowse(m_DealFile, browse_deal));
  m_Generate = new QPushButton(QStringLiteral("Generate"));
  m_Generate->setObjectName("generate");
  generate_form->addRow(QString(), m_Generate);

  auto* record = new QGroupBox(QStringLiteral("Make a hand record"), this);
  record->setObjectName("handRecordGroup");
  auto* record_form = new QFormLayout(record);
  m_Source = new QLineEdit;
  m_Source->setObjectName("recordSource");
  auto* browse_source = new QPushButton(QStringLiteral("Browse..."));
  browse_source->setObjectName("browseRecordSource");
  record_form->addRow(QStringLiteral("Deal file"), WithBrowse(m_Source, browse_source));
  m_Range = new QLineEdit;
  m_Range->setObjectName("boardRange");
  m_Range->setPlaceholderText(QStringLiteral("all boards, or A-B"));
  record_form->addRow(QStringLiteral("Boards"), m_Range);
  m_Pdf = new QLineEdit;
  m_Pdf->setObjectName("recordPdf");
  m_Pdf->setPlaceholderText(QStringLiteral("beside the deal file"));
  record_form->addRow(QStringLiteral("PDF"), m_Pdf);
  m_WritePbn = new QCheckBox(QStringLiteral("Also write a PBN file with the analysis"));
  m_WritePbn->setObjectName("writePbn");
  record_form->addRow(QString(), m_WritePbn);
  m_MakeRecord = new QPushButton(QStringLiteral("Make hand record"));
  m_MakeRecord->setObjectName("makeRecord");
  record_form->addRow(QString(), m_MakeRecord);

  m_Status = new QLabel;
  m_Status->setObjectName("status");
  m_Status->setWordWrap(true);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(generate);
  layout->addWidget(record);
  layout->addWidget(m_Status);

  connect(browse_deal, &QPushButton::clicked, this, &CPrepareDialog::OnBrowseDealFile);
  connect(browse_source, &QPushButton::clicked, this, &CPrepareDialog::OnBrowseRecordSource);
  connect(m_Generate, &QPushButton::clicked, this, [this] { Generate(); });
  connect(m_MakeRecord, &QPushButton::clicked, this, [this] { MakeHandRecord(); });
  // Enter must not close the window.
  m_Generate->setAutoDefault(false);
  m_MakeRecord->setAutoDefault(false);
}

void CPrepareDialog::FocusGenerate() {
  m_Count->setFocus();
}

void CPrepareDialog::FocusHandRecord(const QString& deal_file) {
  if (!deal_file.isEmpty()) m_Source->setText(deal_file);
  m_MakeRecord->setFocus();
}

void CPrepareDialog::Fail(const QString& text) {
  m_Status->setText(text);
  ShowMessageBox(text.toStdString(), "Error", BoxButtons::Ok);
}

bool CPrepareDialog::Generate() {
  QString path = m_DealFile->text().trimmed();
  if (path.isEmpty()) {
    Fail(QStringLiteral("Choose the deal file to write the boards to."));
    return false;
  }
  const QString format = m_Format->currentText();
  // The program takes a file's format from its name, so the name must say it.
  if (QFileInfo(path).suffix().compare(format, Qt::CaseInsensitive) != 0) {
    path += QLatin1Char('.') + format;
  }
  DealSeed seed;
  const std::string seed_text = m_Seed->text().trimmed().toStdString();
  std::string error;
  if (!seed_text.empty() && !ParseDealSeed(seed_text, seed, error)) {
    Fail(QStringLiteral("Wrong seed: %1.").arg(QString::fromStdString(error)));
    return false;
  }
  DealFileKind kind = DealFileKind::kPbn;
  DealFileKindFromName(format.toLatin1().constData(), kind);
  DealSet deals;
  if (!GenerateDeals(m_Count->value(), m_First->value(), seed_text.empty() ? nullptr : &seed,
                     deals)) {
    Fail(QStringLiteral("The system's random generator cannot be used."));
    return false;
  }
  TraceCapture capture;
  if (!WriteDealFile(path.toLocal8Bit().constData(), deals, kind, m_First->value())) {
    Fail(QStringLiteral("%1 could not be written: %2")
             .arg(path, Reason(capture, "File could not be written")));
    return false;
  }
  m_DealFile->setText(path);
  m_Source->setText(path);
  m_Pdf->clear();
  m_Status->setText(QStringLiteral("%1 boards (%2 to %3) written to %4")
                        .arg(m_Count->value())
                        .arg(m_First->value())
                        .arg(m_First->value() + m_Count->value() - 1)
                        .arg(path));
  return true;
}

QString CPrepareDialog::DefaultPdfPath(const QString& deal_file) {
  const QFileInfo file(deal_file);
  const QString name = file.completeBaseName() + QStringLiteral(".pdf");
  if (QFileInfo(file.absolutePath()).isWritable()) return file.absoluteDir().filePath(name);
  QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (documents.isEmpty() || !QDir().mkpath(documents)) documents = QDir::homePath();
  return QDir(documents).filePath(name);
}

bool CPrepareDialog::MakeHandRecord() {
  if (m_Busy) return false;
  const QString source = m_Source->text().trimmed();
  if (source.isEmpty()) {
    Fail(QStringLiteral("Choose the deal file to make the hand record of."));
    return false;
  }
  int first = 1;
  int last = 999999;
  const std::string range = m_Range->text().trimmed().toStdString();
  if (!range.empty() && !ParseBoardRange(range, first, last)) {
    Fail(QStringLiteral("Boards: give A-B (1 <= A <= B) or leave the field empty."));
    return false;
  }
  DealSet deals;
  std::vector<int> numbers;
  {
    TraceCapture capture;
    if (!LoadNumberedDealFile(source.toLocal8Bit().constData(), deals, &numbers)) {
      Fail(QStringLiteral("%1 could not be read: %2")
               .arg(source, Reason(capture, "File could not be read")));
      return false;
    }
  }
  std::vector<AnalysedBoard> boards = SelectBoards(deals, numbers, first, last);
  if (boards.empty()) {
    Fail(QStringLiteral("%1 holds no boards %2.").arg(source, m_Range->text().trimmed()));
    return false;
  }
  const QString pdf =
      m_Pdf->text().trimmed().isEmpty() ? DefaultPdfPath(source) : m_Pdf->text().trimmed();
  const QString pbn = m_WritePbn->isChecked()
                          ? QFileInfo(pdf).absoluteDir().filePath(
                                QFileInfo(source).completeBaseName() + "-analysis.pbn")
                          : QString();
  const QString title = QFileInfo(source).fileName();
  SetBusy(true);
  m_Status->setText(QStringLiteral("Analysing %1 boards...").arg(boards.size()));

  auto* watcher = new QFutureWatcher<Analysed>(this);
  connect(watcher, &QFutureWatcher<Analysed>::finished, this, [=, this] {
    Analysed done = watcher->result();
    watcher->deleteLater();
    SetBusy(false);
    if (!done.ok) {
      Fail(QString::fromStdString(done.error));
      emit HandRecordDone(false);
      return;
    }
    if (!pbn.isEmpty() &&
        !WriteHandRecordPbn(pbn.toLocal8Bit().constData(), done.boards, title.toStdString())) {
      Fail(QStringLiteral("%1 could not be written.").arg(pbn));
      emit HandRecordDone(false);
      return;
    }
    QString reason;
    if (!WriteHandRecordPdf(pdf, done.boards, title, reason)) {
      Fail(QStringLiteral("%1 could not be written: %2").arg(pdf, reason));
      emit HandRecordDone(false);
      return;
    }
    m_Pdf->setText(pdf);
    m_Status->setText(
        QStringLiteral("Hand record of %1 boards written to %2").arg(done.boards.size()).arg(pdf));
    m_Opener(pdf);
    emit HandRecordDone(true);
  });
  watcher->setFuture(QtConcurrent::run([boards = std::move(boards)]() mutable {
    Analysed done;
    done.ok = AnalyseBoards(boards, done.error);
    done.boards = std::move(boards);
    return done;
  }));
  return true;
}

void CPrepareDialog::SetBusy(bool busy) {
  m_Busy = busy;
  m_MakeRecord->setEnabled(!busy);
  m_Generate->setEnabled(!busy);
  if (busy) {
    setCursor(Qt::BusyCursor);
  } else {
    unsetCursor();
  }
}

void CPrepareDialog::OnBrowseDealFile() {
  const QString chosen =
      QFileDialog::getSaveFileName(this, QStringLiteral("Deal file to write"), m_DealFile->text(),
                                   QStringLiteral("Deal files (*.pbn *.bri *.dup);;All files (*)"));
  if (!chosen.isEmpty()) m_DealFile->setText(chosen);
}

void CPrepareDialog::OnBrowseRecordSource() {
  const QString chosen = QFileDialog::getOpenFileName(
      this, QStringLiteral("Deal file"), m_Source->text(),
      QStringLiteral("Deal files (*.[bB][rR][iI] *.[dD][uU][pP] *.[pP][bB][nN]);;All files (*)"));
  if (!chosen.isEmpty()) {
    m_Source->setText(chosen);
    m_Pdf->clear();
  }
}
