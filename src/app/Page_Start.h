// Page 0: what the operator does, in three steps, and how to reuse the last session.
#pragma once

#include "GenericChildDialog.h"

class Page_Start : public GenericChildDialog {
  Q_OBJECT

 public:
  static constexpr unsigned kTemplateId = 1082;
  static constexpr int kRichTextId = 1107;

  explicit Page_Start(const char* name);
  unsigned GetTemplateID() const override { return kTemplateId; }

  // The rich text of control 1107, as the label shows it.
  static QString HintText();

 protected:
  bool OnInitDialog() override;
};

// A page whose controls arrive with a later change: it has its template's number and place and
// nothing else yet.
class EmptyPage : public GenericChildDialog {
  Q_OBJECT

 public:
  EmptyPage(const char* name, unsigned template_id);
  unsigned GetTemplateID() const override { return m_PageTemplate; }

 protected:
  bool OnInitDialog() override;

 private:
  unsigned m_PageTemplate;
};
