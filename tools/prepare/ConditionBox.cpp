#include "ConditionBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "LessonThemes.h"
#include "MessageBox.h"

namespace {

// A lesson script is a page or two.
constexpr qint64 kMaxScriptBytes = 1 << 20;

}  // namespace

CConditionBox::CConditionBox(QWidget* parent) : QWidget(parent) {
  m_Theme = new QComboBox;
  m_Theme->setObjectName("conditionTheme");
  m_Theme->addItem(QStringLiteral("Any deal (no condition)"));
  for (const LessonTheme& theme : kLessonThemes) m_Theme->addItem(QString::fromUtf8(theme.name));
  auto* load = new QPushButton(QStringLiteral("Load script..."));
  load->setObjectName("loadConditionScript");
  load->setAutoDefault(false);
  m_Script = new QPlainTextEdit;
  m_Script->setObjectName("conditionScript");
  m_Script->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  m_Script->setPlaceholderText(
      QStringLiteral("Conditions in the dealer program's language, e.g. hcp(south) >= 15"));
  // A script keeps its own lines: room for the themes' longest, a scroll bar for longer ones.
  m_Script->setLineWrapMode(QPlainTextEdit::NoWrap);
  m_Script->setMinimumSize(m_Script->fontMetrics().horizontalAdvance(QString(72, 'x')), 110);
  m_Rotate = new QCheckBox(QStringLiteral("Turn each board so that the script's dealer deals it"));
  m_Rotate->setObjectName("rotateToDealer");
  m_Rotate->setChecked(true);

  auto* row = new QHBoxLayout;
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(m_Theme, 1);
  row->addWidget(load);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addLayout(row);
  layout->addWidget(m_Script);
  layout->addWidget(m_Rotate);

  connect(m_Theme, &QComboBox::activated, this, &CConditionBox::OnTheme);
  connect(load, &QPushButton::clicked, this, &CConditionBox::OnLoad);
}

QString CConditionBox::Script() const {
  const QString text = m_Script->toPlainText();
  return text.trimmed().isEmpty() ? QString() : text;
}

bool CConditionBox::Rotate() const {
  return m_Rotate->isChecked();
}

void CConditionBox::OnTheme(int index) {
  const int theme = index - 1;
  m_Script->setPlainText(theme >= 0 && theme < static_cast<int>(std::size(kLessonThemes))
                             ? QString::fromUtf8(kLessonThemes[theme].script)
                             : QString());
}

bool CConditionBox::LoadScript(const QString& path, QString& reason) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    reason = file.errorString();
    return false;
  }
  if (file.size() > kMaxScriptBytes) {
    reason = QStringLiteral("the file is too big for a script");
    return false;
  }
  m_Script->setPlainText(QString::fromUtf8(file.readAll()));
  m_Theme->setCurrentIndex(-1);
  return true;
}

void CConditionBox::OnLoad() {
  const QString chosen = QFileDialog::getOpenFileName(
      this, QStringLiteral("Condition script"), QString(),
      QStringLiteral("Condition scripts (*.dl *.dlr *.txt);;All files (*)"));
  QString reason;
  if (!chosen.isEmpty() && !LoadScript(chosen, reason)) {
    ShowMessageBox(QStringLiteral("%1 could not be read: %2").arg(chosen, reason).toStdString(),
                   "Error", BoxButtons::Ok);
  }
}
