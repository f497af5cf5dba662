// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

// Shows a fatal log failure to the user before the agent ends the process.
// The program supplies it (a modal box in the main window); tests record.
class TAgenteFatalReporter {
public:
    virtual ~TAgenteFatalReporter() = default;
    virtual void ShowFatal(const std::string& Message) = 0;
};
