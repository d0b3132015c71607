#include "Page_Start.h"

#include <QLabel>

#include "log.h"

Page_Start::Page_Start(const char* name) : GenericChildDialog(name) {
  m_bStatusBar = 0;
}

QString Page_Start::HintText() {
  return QStringLiteral(
             "&bull;Do you want to use same parameters as last session ? - just click ") +
         QStringLiteral("\"Card Distribution\"") +
         QStringLiteral(
             " <BR><BR>&bull;Do you want to use same parameters and card distribution as last "
             "session - click ") +
         QStringLiteral("\"Deal menu\"");
}

bool Page_Start::OnInitDialog() {
  GenericChildDialog::OnInitDialog();
  setFont(DialogFont("Verdana", 10));
  SetTemplateSize(177, 134);
  struct Step {
    const char* text;
    const char* name;
    int y;
  } steps[] = {
      {"1. SET PARAMETERS", "step1", 10},
      {"2. CHOOSE CARD DISTRIBUTION FILE", "step2", 28},
      {"3. DEAL THE CARDS", "step3", 46},
  };
  for (const Step& step : steps) {
    auto* label = new QLabel(QString::fromLatin1(step.text), this);
    PlaceControl(label, -1, step.name, QRect(10, step.y, 160, 12));
  }
  auto* hint = new QLabel(HintText(), this);
  hint->setTextFormat(Qt::RichText);
  hint->setWordWrap(true);
  hint->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  PlaceControl(hint, kRichTextId, "hint", QRect(10, 70, 160, 60));
  TRACE('T', "#0 on init\n");
  return true;
}

EmptyPage::EmptyPage(const char* name, unsigned template_id)
    : GenericChildDialog(name), m_PageTemplate(template_id) {
  m_bStatusBar = 0;
}

bool EmptyPage::OnInitDialog() {
  GenericChildDialog::OnInitDialog();
  setFont(DialogFont("Verdana", 10));
  SetTemplateSize(332, 264);
  return true;
}
