// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TZirkoOptions.h"

#include <ostream>

// zirko --report: reads the history of the log folder beside whoever writes it
// and writes the PDF, on the offscreen platform (no display needed). 0 when
// written; 2, with one line on Err and no file, when the history holds no ping
// of the host in the range or a date is unreadable; 1 when the file fails.
int RunReport(int argc, char** argv, const TZirkoOptions& Options, std::ostream& Err);
