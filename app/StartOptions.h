// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TZirkoOptions.h"

class TF_Main;
class TMetricsFeed;

// Puts the command line's host and spinner values in the window, and starts
// "Auto" once the event loop runs, as a click would. Shows the window, minimized
// (into the tray where there is one) when asked.
void ApplyStartOptions(TF_Main& Window, const TZirkoOptions& Options);

// The window's monitoring and spinners feed the metrics.
void FeedMetrics(TF_Main& Window, TMetricsFeed& Feed);

// zirko --headless: runs zirko-headless from the executable's folder with the
// same arguments. Returns only when that failed, with the exit code to end with.
int RunHeadless(char** argv);
