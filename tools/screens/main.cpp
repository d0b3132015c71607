// quadrelle-screens DIR: takes a picture of the main window with each of its pages, for the
// operator's guide; quadrelle-screens --prepare DIR the picture of quadrelle-prepare's lesson-set
// part; quadrelle-screens --framed DIR framed-window.png, the main window on its card distribution
// page with the frame and caption the system draws, taken from the screen (scripts/screenshots
// --windows runs it under wine, which draws them like Windows). scripts/screenshots runs them
// under a virtual X display.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "FooButton.h"
#include "GenericChildDialog.h"
#include "MachineFilter.h"
#include "Page_DealMenu.h"
#include "PrepareDialog.h"
#include "RunSections.h"
#include "Settings.h"
#include "SimSlot.h"
#include "SlotThread.h"
#include "USBinterface.h"
#include "log.h"
#include "maindlg.h"

namespace {

void Settle() {
  for (int i = 0; i < 20; ++i) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
}

// A small deal file for the pictures: 16 deals shuffled from a fixed seed, so that the pictures
// only change when the look does.
std::string WriteDemoFile(const QDir& dir) {
  const std::string path = dir.filePath(QStringLiteral("club-night.bri")).toStdString();
  std::ofstream out(path, std::ios::binary);
  unsigned seed = 20261208;
  for (int deal = 0; deal < 16; ++deal) {
    int cards[52];
    for (int i = 0; i < 52; ++i) cards[i] = i + 1;
    for (int i = 51; i > 0; --i) {
      seed = seed * 1103515245u + 12345u;
      const int j = static_cast<int>((seed >> 8) % static_cast<unsigned>(i + 1));
      std::swap(cards[i], cards[j]);
    }
    std::string record;
    for (int i = 0; i < 39; ++i) {
      record += static_cast<char>('0' + cards[i] / 10);
      record += static_cast<char>('0' + cards[i] % 10);
    }
    record.resize(128, ' ');
    out << record;
  }
  return path;
}

// Runs the program's loop until `done` or five seconds have passed.
bool RunUntil(const std::function<bool()>& done) {
  QElapsedTimer waited;
  waited.start();
  while (!done() && waited.elapsed() < 5000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return done();
}

bool Save(const QPixmap& picture, const QDir& out, const QString& name) {
  const QString file = out.filePath(name);
  if (!picture.save(file)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
    return false;
  }
  std::printf("%s\n", qPrintable(file));
  return true;
}

// Three windows bound to three machines, each with its own range, side by side under their
// captions (a virtual display draws no window frames, so the caption is drawn above each).
bool SeveralMachinesPicture(const QDir& out, const std::string& demo) {
  struct Window {
    const char* machine;
    int start;
    int number;
  };
  const Window windows[] = {{"42", 1, 4}, {"43", 5, 4}, {"44", 9, 8}};
  std::vector<QPixmap> shots;
  std::vector<QString> captions;
  for (const Window& w : windows) {
    SetRunSettingsMachine(w.machine);
    WriteSettingString(CardDistributionSection(), "Filename", demo.c_str());
    WriteSettingInt(CardDistributionSection(), "StartDeal", w.start);
    WriteSettingInt(CardDistributionSection(), "NumberOfDeal", w.number);
    CMainDlg dialog(nullptr, MachineFilter(w.machine));
    dialog.show();
    Settle();
    dialog.ShowPage(2);
    Settle();
    shots.push_back(dialog.grab());
    captions.push_back(dialog.windowTitle());
  }
  SetRunSettingsMachine("");
  constexpr int kCaption = 26;
  constexpr int kGap = 12;
  int width = kGap;
  int height = 0;
  for (const QPixmap& shot : shots) {
    width += shot.width() + kGap;
    height = std::max(height, shot.height());
  }
  QPixmap picture(width, height + kCaption + 2 * kGap);
  picture.fill(QColor(90, 100, 115));
  QPainter painter(&picture);
  int x = kGap;
  for (size_t i = 0; i < shots.size(); ++i) {
    const QRect bar(x, kGap, shots[i].width(), kCaption);
    painter.fillRect(bar, QColor(45, 60, 90));
    painter.setPen(Qt::white);
    painter.drawText(bar.adjusted(8, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, captions[i]);
    painter.drawPixmap(x, kGap + kCaption, shots[i]);
    x += shots[i].width() + kGap;
  }
  painter.end();
  return Save(picture, out, QStringLiteral("8-several-machines.png"));
}

// A run dealt up to its third board, the cable pulled and put back, the deal menu opened again:
// the run goes on at the board it stood at.
bool ResumedRun(CMainDlg& dialog, const QDir& out) {
  qsim::MachineOptions options;
  options.card_ms = 1;
  qsim::SlotThread machine(options, qsim::SlotPath(qsim::EmulatorDirectory(), 0));
  auto* page = static_cast<Page_DealMenu*>(dialog.Page(3));
  if (!RunUntil([&] { return dialog.MachineLink() != nullptr; })) return false;
  dialog.ShowPage(3);
  for (int board = 1; board <= 2; ++board) {
    page->OnStartNext();
    if (!RunUntil([&] { return page->DealCounter() == board + 1; })) return false;
  }
  machine.SetPlugged(false);
  if (!RunUntil([&] { return dialog.MachineLink() == nullptr; })) return false;
  machine.SetPlugged(true);
  if (!RunUntil([&] { return dialog.MachineLink() != nullptr; })) return false;
  dialog.MenuButton(3)->click();  // the operator opens the deal menu again
  Settle();
  return Save(dialog.grab(), out, QStringLiteral("7-run-resumed.png"));
}

// quadrelle-prepare's "Make a set of boards" with the 1NT lesson theme in its condition box.
bool LessonSetPicture(const QDir& out) {
  CPrepareDialog dialog;
  dialog.show();
  Settle();
  auto* theme = dialog.findChild<QComboBox*>(QStringLiteral("conditionTheme"));
  if (theme == nullptr) return false;
  theme->setCurrentIndex(1);
  emit theme->activated(1);
  Settle();
  QWidget* group = dialog.findChild<QWidget*>(QStringLiteral("generateGroup"));
  return group != nullptr && Save(group->grab(), out, QStringLiteral("10-lesson-set.png"));
}

// The main window on the card distribution page as it stands on the screen, frame and caption
// included: a window system that draws none (a bare X server) leaves the dialog alone in the
// picture.
bool FramedPicture(CMainDlg& dialog, const QDir& out) {
  dialog.ShowPage(2);
  dialog.move(16, 16);
  // The screen shows what the window system has been handed, which may lag the last paint: a
  // second of the program's loop lets the first machine search and its buttons settle there.
  QElapsedTimer shown;
  shown.start();
  RunUntil([&] { return shown.elapsed() >= 1000; });
  const QRect frame = dialog.frameGeometry();
  const QPixmap picture =
      dialog.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
  return Save(picture, out, QStringLiteral("framed-window.png"));
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc == 3 ? argv[1] : "";
  const bool prepare = mode == "--prepare";
  const bool framed = mode == "--framed";
  if (argc != 2 && !prepare && !framed) {
    std::fprintf(stderr, "usage: quadrelle-screens [--prepare | --framed] DIR\n");
    return 2;
  }
  QApplication application(argc, argv);
  const char* dir = argv[argc - 1];
  const QDir out(QString::fromLocal8Bit(dir));
  if (!out.exists() && !QDir().mkpath(out.path())) {
    std::fprintf(stderr, "cannot create %s\n", dir);
    return 1;
  }
  if (prepare) return LessonSetPicture(out) ? 0 : 1;
  TraceSetStandardOutput(nullptr);
  QCoreApplication::setOrganizationName(QStringLiteral("Mirelon Consulting"));
  QCoreApplication::setApplicationName(QStringLiteral("Quadrelle"));
  const std::string demo = WriteDemoFile(QDir(QDir::tempPath()));
  WriteSettingString("CardDistribution", "Filename", demo.c_str());
  WriteSettingInt("CardDistribution", "StartDeal", 3);
  WriteSettingInt("CardDistribution", "NumberOfDeal", 8);
  WriteSettingInt("Parameters", "dealvisible", 1);
  WriteSettingInt("Parameters", "justdealtvisible", 1);
  WriteSettingString("DealMenu", "LastFile", demo.c_str());
  WriteSettingString("DealMenu", "NumberOfCopies", "2");
  // The pictures of the pages are taken without a machine; the resumed run plugs one in.
  EnableEmulatorLink(true);
  CMainDlg dialog;
  dialog.show();
  Settle();
  if (framed) {
    const bool saved = FramedPicture(dialog, out);
    EnableEmulatorLink(false);
    return saved ? 0 : 1;
  }
  static const char* const kNames[] = {
      "start", "parameters", "card-distribution", "deal-menu", "split", "service", "about"};
  int failures = 0;
  for (int page = 0; page <= 6; ++page) {
    dialog.ShowPage(page);
    Settle();
    if (!Save(dialog.grab(), out, QStringLiteral("%1-%2.png").arg(page).arg(kNames[page]))) {
      ++failures;
    }
  }
  if (!ResumedRun(dialog, out)) {
    std::fprintf(stderr, "the resumed run could not be pictured\n");
    ++failures;
  }
  EnableEmulatorLink(false);
  if (!SeveralMachinesPicture(out, demo)) ++failures;
  return failures == 0 ? 0 : 1;
}
