// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TAgente.h"
#include "TSteppingClock.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace agente_test {

using namespace zirko::test;

// Sends the fatal message down the child's pipe so the parent can check it.
class TPipeReporter : public TAgenteFatalReporter {
public:
    explicit TPipeReporter(const TChildPipe& Pipe) : FPipe(Pipe) {}
    void ShowFatal(const std::string& Message) override {
        FPipe.Send(Message);
        if (OnShow) {
            OnShow();
        }
    }
    std::function<void()> OnShow;

private:
    TChildPipe FPipe;
};

// Runs Body in a forked child with a reporter on a pipe for its agents (with
// UseStderr, stderr goes to the pipe too, for agents without a reporter); the
// child exits 0 if Body returns.
inline TChildResult RunInChild(const std::function<void(TPipeReporter&)>& Body,
                               bool UseStderr = false) {
    return zirko::test::RunInChild(
        [&](TChildPipe& Pipe) {
            TPipeReporter Reporter(Pipe);
            Body(Reporter);
        },
        UseStderr);
}

// An agent set up as the main window sets it up.
inline void SetUpAgent(TAgente& Agente, const std::string& Folder, const TClock* Clock,
                       TAgenteFatalReporter* Reporter = nullptr) {
    Agente.SetPath_Agente(Folder);
    Agente.SetApplicationName("Zirko");
    Agente.SetFileName("ZIRKO");
    Agente.SetActiveLog(true);
    Agente.SetBackupLog(true);
    Agente.SetClock(Clock);
    Agente.SetFatalReporter(Reporter);
}

} // namespace agente_test
