// quadrelle-screens DIR: takes a picture of the main window with each of its pages, for the
// operator's guide. scripts/screenshots runs it under a virtual X display.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTimer>
#include <cstdio>

#include "GenericChildDialog.h"
#include "log.h"
#include "maindlg.h"

namespace {

void Settle() {
  for (int i = 0; i < 20; ++i) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
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
  CMainDlg dialog;
  dialog.show();
  Settle();
  static const char* const kNames[] = {"start",   "parameters", "card-distribution", "deal-menu",
                                       "split",   "service",    "about"};
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
