// The "--machine WHICH" switch, and the names a copy bound to a machine goes by, so that the
// copies for different machines never share an instance, a caption or a log file.
#pragma once

#include <QString>
#include <QStringList>

// Takes "--machine WHICH" or "--machine=WHICH" out of `arguments` and returns WHICH ("" when
// the switch is not there). *missing is set when the switch is there without a machine.
QString TakeMachineArgument(QStringList& arguments, bool* missing);

// What a copy bound to `machine` ("" for none) calls itself: the instance checker's unique
// name, the window caption's tail and the trace log's file name.
QString InstanceName(const QString& machine);
QString MachineCaption(const QString& machine);
QString LogFileName(const QString& machine);
