// quadrelle-screens DIR: takes a picture of the main window with each of its pages, for the
// operator's guide. scripts/screenshots runs it under a virtual X display.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <fstream>
#include <string>

#include "GenericChildDialog.h"
#include "Settings.h"
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

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: quadrelle-screens DIR\n");
    return 2;
  }
  QApplication application(argc, argv);
  const QDir out(QString::fromLocal8Bit(argv[1]));
  if (!out.exists() && !QDir().mkpath(out.path())) {
    std::fprintf(stderr, "cannot create %s\n", argv[1]);
    return 1;
  }
  TraceSetStandardOutput(nullptr);
  QCoreApplication::setOrganizationName(QStringLiteral("Mirelon Consulting"));
  QCoreApplication::setApplicationName(QStringLiteral("Quadrelle"));
  const std::string demo = WriteDemoFile(QDir(QDir::tempPath()));
  WriteSettingString("CardDistribution", "Filename", demo.c_str());
  WriteSettingInt("CardDistribution", "StartDeal", 3);
  WriteSettingInt("CardDistribution", "NumberOfDeal", 8);
  WriteSettingInt("Parameters", "dealvisible", 1);
  CMainDlg dialog;
  dialog.show();
  Settle();
  static const char* const kNames[] = {
      "start", "parameters", "card-distribution", "deal-menu", "split", "service", "about"};
  int failures = 0;
  for (int page = 0; page <= 6; ++page) {
    dialog.ShowPage(page);
    Settle();
    const QString file = out.filePath(QStringLiteral("%1-%2.png").arg(page).arg(kNames[page]));
    if (!dialog.grab().save(file)) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
      ++failures;
    } else {
      std::printf("%s\n", qPrintable(file));
    }
  }
  return failures == 0 ? 0 : 1;
}
