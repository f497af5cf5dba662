// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TAgenteFatalReporter.h"

// Shows a fatal failure of the log agent: a modal box captioned with the
// application title, no icon, one OK button. The agent ends the program after.
class TFatalMessageBox : public TAgenteFatalReporter {
public:
    void ShowFatal(const std::string& Message) override;
};
