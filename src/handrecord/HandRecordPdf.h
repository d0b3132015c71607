// The printed hand record: A4 pages of six boards, each with its number, dealer and
// vulnerability, the four hands as a diagram (suit symbols, hearts and diamonds red), each
// hand's high-card points in the middle, the double-dummy table and the par score with its
// contracts. Drawn with Qt's PDF writer; needs a QGuiApplication for the fonts (the offscreen
// platform will do). GUI thread only, as every QPainter on text is.
#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

#include "Analysis.h"

// What ties the hand record to the boards dealt, on every page: the set's fingerprint beside the
// title, and for a seeded set the seed's commitment at the foot. An empty one is left out.
struct HandRecordMarks {
  QString fingerprint;
  QString commitment;
};

// The whole PDF file. `title` heads every page.
QByteArray HandRecordPdf(const std::vector<AnalysedBoard>& boards, const QString& title,
                         const HandRecordMarks& marks = {});

// Writes it beside `path` and renames it over it: false with `error` set (in words for the
// operator) when it could not be written whole, and then the old file stays as it was.
bool WriteHandRecordPdf(const QString& path, const std::vector<AnalysedBoard>& boards,
                        const QString& title, QString& error, const HandRecordMarks& marks = {});
