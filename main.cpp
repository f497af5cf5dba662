#include "TF_Main.h"
#include "TNetSocketHelper.h"
#include "TZirkoApplication.h"

int main(int argc, char** argv) {
    // Before Qt loads any plugin: the raw-socket right stays with the helper.
    TNetSocketHelper::StartForProgram();
    TZirkoApplication application(argc, argv);
    // Creating the window starts the log; a failing start ends the program there.
    TF_Main window;
    window.show();
    return TZirkoApplication::exec();
}
