// The open-file dialog of the pages: it leaves the process's current directory as it found it,
// and tests answer it in the operator's stead.
#pragma once

#include <QString>
#include <functional>
#include <string>

class QWidget;

// Shows an open-file dialog with `filter` (Qt's "Text (*.a *.b);;Other (*)" form), opening in
// `folder` (empty: wherever the dialog likes), and returns the chosen full path, or empty text
// when the operator cancelled.
std::string ChooseFileToOpen(QWidget* parent, const QString& filter,
                             const QString& folder = QString());

// While a responder is installed no dialog is shown: the responder gets the filter and the
// folder and returns the path the operator would have chosen (empty: cancelled). Returns the one
// it replaced.
using OpenFileResponder = std::function<std::string(const QString& filter, const QString& folder)>;
OpenFileResponder SetOpenFileResponder(OpenFileResponder responder);
