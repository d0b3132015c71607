#include "MachineSwitch.h"

#include <algorithm>

QString TakeMachineArgument(QStringList& arguments, bool* missing) {
  bool given = false;
  QString machine;
  for (qsizetype i = 0; i < arguments.size();) {
    const QString& argument = arguments[i];
    if (argument == QLatin1String("--machine")) {
      given = true;
      machine = i + 1 < arguments.size() ? arguments[i + 1] : QString();
      arguments.remove(i, std::min<qsizetype>(2, arguments.size() - i));
    } else if (argument.startsWith(QLatin1String("--machine="))) {
      given = true;
      machine = argument.mid(10);
      arguments.remove(i);
    } else {
      ++i;
    }
  }
  machine = machine.trimmed();
  // "--machine" at the end, "--machine=" and "--machine ''" name no machine.
  *missing = given && machine.isEmpty();
  return machine;
}

QString InstanceName(const QString& machine) {
  return machine.isEmpty() ? QStringLiteral("Quadrelle") : QStringLiteral("Quadrelle-") + machine;
}

QString MachineCaption(const QString& machine) {
  return machine.isEmpty() ? QString() : QStringLiteral(" - machine ") + machine;
}

QString LogFileName(const QString& machine) {
  return InstanceName(machine) + QStringLiteral(".txt");
}
