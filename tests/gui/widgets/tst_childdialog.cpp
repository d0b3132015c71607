#include <QPushButton>
#include <QTest>
#include <memory>

#include "DialogUnits.h"
#include "FooButton.h"
#include "GenericChildDialog.h"
#include "GuiSupport.h"
#include "Settings.h"
#include "log.h"

namespace {

class SizedPage : public GenericChildDialog {
 public:
  SizedPage(const char* name, unsigned template_id, QSize size)
      : GenericChildDialog(name), template_id_(template_id) {
    m_bStatusBar = 0;
    resize(size);
  }
  unsigned GetTemplateID() const override { return template_id_; }
  int initialisations = 0;

 protected:
  bool OnInitDialog() override {
    ++initialisations;
    return GenericChildDialog::OnInitDialog();
  }

 private:
  unsigned template_id_;
};

}  // namespace

class ChildDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    scratch_ = std::make_unique<ScratchEnvironment>();
    TraceSetStandardOutput(nullptr);
    host_ = std::make_unique<QWidget>();
    host_->setObjectName("host");
    host_->resize(500, 400);
    placeholder_ = new QWidget(host_.get());
    placeholder_->setObjectName("pageArea");
    SetControlId(placeholder_, 1050);
    placeholder_->setGeometry(18, 60, 300, 250);
    placeholder_->hide();
    placeholder_->setEnabled(false);
  }
  void cleanup() {
    host_.reset();
    scratch_.reset();
  }

  void placedOverThePlaceholder_data() {
    QTest::addColumn<bool>("with_offset");
    QTest::addColumn<QPoint>("offset");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("no offset") << false << QPoint() << QPoint(18, 60);
    QTest::newRow("offset") << true << QPoint(5, -7) << QPoint(23, 53);
  }
  void placedOverThePlaceholder() {
    QFETCH(bool, with_offset);
    QFETCH(QPoint, offset);
    QFETCH(QPoint, expected);
    // A remembered position of the page must not win over the placeholder.
    QVERIFY(WriteSettingInt("Windowspos", "1072_X", 200));
    QVERIFY(WriteSettingInt("Windowspos", "1072_Y", 100));
    SizedPage page("CardDistribution", 1072, QSize(177, 134));
    const bool was_visible = page.Create(host_.get(), 1050, with_offset ? &offset : nullptr);
    QVERIFY(!was_visible);
    QCOMPARE(page.parentWidget(), host_.get());
    QVERIFY(!page.isWindow());
    QCOMPARE(page.TemplateId(), 1072u);
    QCOMPARE(page.pos(), expected);
    QCOMPARE(page.size(), QSize(177, 134));  // its own size, not the placeholder's
    QCOMPARE(page.initialisations, 1);
    QVERIFY(page.findChild<QWidget*>("statusBar") == nullptr);
  }

  void hiddenUntilTheHostShowsIt() {
    SizedPage first("StartPage", 1082, QSize(100, 80));
    SizedPage second("Parameters", 1070, QSize(100, 80));
    first.Create(host_.get(), 1050);
    second.Create(host_.get(), 1050);
    QVERIFY(ShowActive(host_.get()));
    QVERIFY(!first.isVisible());
    QVERIFY(!second.isVisible());

    second.show();
    QVERIFY(second.isVisible());
    QVERIFY(!first.isVisible());
    QCOMPARE(second.initialisations, 1);  // showing does not initialise again
  }

  void missingPlaceholderIsReported() {
    TraceCapture capture;
    SizedPage page("About", 1080, QSize(90, 70));
    const QPoint offset(4, 9);
    page.Create(host_.get(), 4242, &offset);
    QCOMPARE(page.pos(), offset);
    QVERIFY(capture.Contains('W', "No placeholder 4242 for About\n"));
    QVERIFY(page.isHidden());
  }

  void placeholderIsLookedUpAmongTheHostsOwnControls() {
    // A control of another page that happens to carry the same number is not the placeholder.
    SizedPage other("Parameters", 1070, QSize(120, 90));
    other.Create(host_.get(), 1050);
    auto* inner = new QWidget(&other);
    SetControlId(inner, 1047);
    inner->setGeometry(70, 70, 10, 10);
    auto* button = new QWidget(host_.get());
    SetControlId(button, 1047);
    button->setGeometry(6, 141, 116, 36);
    QCOMPARE(FindControl(host_.get(), 1047), button);
    QCOMPARE(FindControl(host_.get(), 1050), placeholder_);
    QCOMPARE(FindControl(&other, 1047), inner);
  }

  // Enter presses the focused button of a page (a kit button or a plain one), and the page
  // does not close on it.
  void enterPressesTheFocusedButton() {
    SizedPage page("Split", 1076, QSize(200, 120));
    page.Create(host_.get(), 1050);
    auto* start = new FooButton(QStringLiteral("Start Split"), &page);
    auto* plain = new QPushButton(QStringLiteral("Turn roller"), &page);
    plain->move(0, 40);
    int starts = 0;
    int turns = 0;
    QObject::connect(start, &QPushButton::clicked, [&] { ++starts; });
    QObject::connect(plain, &QPushButton::clicked, [&] { ++turns; });
    QVERIFY(ShowActive(host_.get()));
    page.show();
    for (QAbstractButton* button :
         {static_cast<QAbstractButton*>(start), static_cast<QAbstractButton*>(plain)}) {
      button->setFocus();
      QTRY_VERIFY(button->hasFocus());
      QTest::keyClick(button, Qt::Key_Return);
      QTest::keyClick(button, Qt::Key_Enter);
    }
    QCOMPARE(starts, 2);
    QCOMPARE(turns, 2);
    QVERIFY(page.isVisible());
  }

 private:
  std::unique_ptr<ScratchEnvironment> scratch_;
  std::unique_ptr<QWidget> host_;
  QWidget* placeholder_ = nullptr;
};

QTEST_MAIN(ChildDialogTest)
#include "tst_childdialog.moc"
