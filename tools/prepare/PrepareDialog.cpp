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
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <atomic>
#include <string>
#include <vector>

#include "Analysis.h"
#include "BoardInfo.h"
#include "BoardSelection.h"
#include "BriDup.h"
#include "ConditionBox.h"
#include "ConditionParser.h"
#include "ConditionSearch.h"
#include "DealGenerator.h"
#include "DealWrite.h"
#include "Fingerprint.h"
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

// A condition search on the worker threads: the read script, its progress and its result.
struct ConditionRun {
  ConditionScript script;
  ConditionProgram program;
  int boards = 0;
  int first = 1;
  std::atomic<bool> cancel{false};
  std::atomic<uint64_t> examined{0};
  std::atomic<int> found{0};
  QFutureWatcher<SearchResult>* watcher = nullptr;
};

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
  m_Condition = new CConditionBox;
  m_Condition->setObjectName("conditionBox");
  generate_form->addRow(QStringLiteral("Condition"), m_Condition);
  m_Generate = new QPushButton(QStringLiteral("Generate"));
  m_Generate->setObjectName("generate");
  generate_form->addRow(QString(), m_Generate);
  m_Progress = new QLabel;
  m_Progress->setObjectName("searchProgress");
  m_Cancel = new QPushButton(QStringLiteral("Cancel"));
  m_Cancel->setObjectName("cancelSearch");
  m_Cancel->setAutoDefault(false);
  m_Cancel->setEnabled(false);
  auto* progress = new QWidget;
  auto* progress_row = new QHBoxLayout(progress);
  progress_row->setContentsMargins(0, 0, 0, 0);
  progress_row->addWidget(m_Progress, 1);
  progress_row->addWidget(m_Cancel);
  generate_form->addRow(QString(), progress);
  m_ProgressTimer = new QTimer(this);
  m_ProgressTimer->setInterval(200);
  connect(m_ProgressTimer, &QTimer::timeout, this, &CPrepareDialog::ShowSearchProgress);
  connect(m_Cancel, &QPushButton::clicked, this, &CPrepareDialog::CancelSearch);

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

CPrepareDialog::~CPrepareDialog() {
  if (m_Run) {
    m_Run->cancel = true;
    m_Run->watcher->waitForFinished();
  }
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
  const QString script = m_Condition->Script();
  if (!script.isEmpty())
    return StartSearch(script, path, kind, seed_text.empty() ? nullptr : &seed);
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

bool CPrepareDialog::StartSearch(const QString& script, const QString& path, DealFileKind kind,
                                 const DealSeed* seed) {
  if (m_Busy) return false;
  auto run = std::make_shared<ConditionRun>();
  ScriptError error;
  if (!ParseConditionScript(script.toStdString(), run->script, error) ||
      !run->program.Compile(run->script, error)) {
    Fail(QStringLiteral("Condition script, %1.")
             .arg(QString::fromStdString(FormatScriptError(error))));
    return false;
  }
  if (!StartDealGenerator()) {
    Fail(QStringLiteral("The system's random generator cannot be used."));
    return false;
  }
  run->boards = m_Count->value();
  run->first = m_First->value();
  // Turning needs a seat to turn from: a script without a dealer keeps its seats.
  const bool rotate = m_Condition->Rotate() && run->script.dealer >= 0;
  SearchRequest request = ConditionSearchRequest(run->script, run->program, run->boards, seed);
  request.cancel = &run->cancel;
  ConditionRun* progress = run.get();
  request.progress = [progress](uint64_t examined, int found) {
    progress->examined = examined;
    progress->found = found;
  };
  run->watcher = new QFutureWatcher<SearchResult>(this);
  connect(run->watcher, &QFutureWatcher<SearchResult>::finished, this,
          [=, this] { SearchFinished(path, kind, rotate); });
  m_Run = run;
  SetBusy(true);
  m_Cancel->setEnabled(true);
  ShowSearchProgress();
  m_ProgressTimer->start();
  run->watcher->setFuture(
      QtConcurrent::run([request = std::move(request)] { return SearchConditionDeals(request); }));
  return true;
}

void CPrepareDialog::CancelSearch() {
  if (m_Run) m_Run->cancel = true;
}

void CPrepareDialog::ShowSearchProgress() {
  if (!m_Run) return;
  m_Progress->setText(QStringLiteral("Searching: %L1 deals looked at, %2 of %3 boards found")
                          .arg(m_Run->examined.load())
                          .arg(m_Run->found.load())
                          .arg(m_Run->boards));
}

void CPrepareDialog::SearchFinished(const QString& path, DealFileKind kind, bool rotate) {
  const std::shared_ptr<ConditionRun> run = std::move(m_Run);
  const SearchResult result = run->watcher->result();
  run->watcher->deleteLater();
  m_ProgressTimer->stop();
  m_Cancel->setEnabled(false);
  m_Progress->clear();
  SetBusy(false);
  if (result.status == SearchResult::Status::kCancelled) {
    m_Status->setText(QStringLiteral("Search cancelled; nothing written."));
    emit GenerateDone(false);
    return;
  }
  if (result.status == SearchResult::Status::kFault) {
    Fail(QStringLiteral("Condition script, %1.")
             .arg(QString::fromStdString(FormatScriptError(result.fault))));
    emit GenerateDone(false);
    return;
  }
  if (result.status != SearchResult::Status::kFound) {
    Fail(QStringLiteral("Nothing written: %1.")
             .arg(QString::fromStdString(SearchShortfall(result, run->boards))));
    emit GenerateDone(false);
    return;
  }
  DealSet deals;
  for (size_t i = 0; i < result.boards.size(); ++i) {
    deals.push_back(SearchBoard(result.boards[i], run->first + static_cast<int>(i),
                                run->script.dealer, rotate));
  }
  TraceCapture capture;
  if (!WriteDealFile(path.toLocal8Bit().constData(), deals, kind, run->first)) {
    Fail(QStringLiteral("%1 could not be written: %2")
             .arg(path, Reason(capture, "File could not be written")));
    emit GenerateDone(false);
    return;
  }
  m_DealFile->setText(path);
  m_Source->setText(path);
  m_Pdf->clear();
  const double share = 100.0 * static_cast<double>(deals.size()) /
                       static_cast<double>(std::max<uint64_t>(result.examined, 1));
  m_Status->setText(QStringLiteral("%1 boards (%2 to %3) written to %4; %L5 deals looked at, "
                                   "%6% met the condition")
                        .arg(deals.size())
                        .arg(run->first)
                        .arg(run->first + static_cast<int>(deals.size()) - 1)
                        .arg(path)
                        .arg(result.examined)
                        .arg(share, 0, 'g', 3));
  emit GenerateDone(true);
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
  // The whole file's, as the deal menu shows it for the boards being dealt.
  const HandRecordMarks marks{QString::fromStdString(DealSetFingerprint(deals)), QString()};
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
    if (!WriteHandRecordPdf(pdf, done.boards, title, reason, marks)) {
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
