// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandLine.h"
#include "TDisplayPlatform.h"
#include "TF_Main.h"
#include "TNetSocketHelper.h"
#include "TZirkoApplication.h"

#include <iostream>

int main(int argc, char** argv) {
    // --help and --version answer without a display.
    if (const auto Answered = AnswerCommandLine(argc, argv, std::cout)) {
        return *Answered;
    }
    // Before Qt loads any plugin: no right stays with the window, raw sockets with the helper.
    TNetSocketHelper Helper;
    if (!Helper.StartForProgram()) {
        std::cerr << "zirko: cannot give up the raw-socket right\n";
        return 1;
    }
    TDisplayPlatform::Choose();
    TZirkoApplication application(argc, argv);
    // Creating the window starts the log; a failing start ends the program there.
    TF_Main window(TF_Main::DefaultLogFolder(), &Helper);
    window.show();
    return TZirkoApplication::exec();
}
