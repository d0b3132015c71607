// What the page tests share: deals with a known look, and deal files written into a folder.
#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "DealFiles.h"
#include "DealSet.h"

// Deals 0..count-1 of ShiftedDeal.
DealSet ShiftedDeals(int count);
// A deal whose North hand is exactly `north` in that order; the other cards go to East, South
// and West in ascending order.
Deal DealWithNorth(std::initializer_list<int> north);

// Writes `count` shifted deals (deal i of the file is ShiftedDeal((i - 1) % 52)) as a BRI file
// named `name` in `folder`; returns its full path.
QString WriteBriFile(const QString& folder, const QString& name, int count);

// The deal menu's run as its tests find it: "tournament.bri" in `folder` holds deals 1..8 of
// MakeDeals, deal 5 being MakeDeal(0) (every suit in one hand); it is the card distribution's file
// with the range 5..7 and the deal menu's last file with 2 copies. Returns the file's path; empty
// when it could not be written (nothing is stored then).
std::string StoreDealMenuRun(const QString& folder);

// A window standing in for the main dialog: `size`, with the hidden placeholder control
// `frame_id` at `frame` whose place a page takes.
std::unique_ptr<QWidget> MakePageHost(QSize size, int frame_id, QRect frame);
