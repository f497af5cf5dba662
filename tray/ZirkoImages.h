// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>

class TImageList;

// The radar images of the tray icon: 0 grey (within the limit), 1 yellow (over
// the limit), 2 red (a ping was lost). Any other index gives an empty icon.
QIcon ZirkoRadarImage(int index);
inline constexpr int ZirkoRadarImageCount = 3;
// Fills a list with the three radar images, in index order.
void ZirkoAddRadarImages(TImageList& List);
// The program icon, 32x32 with smaller and larger renderings beside it.
QIcon ZirkoProgramIcon();
