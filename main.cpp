#include "TDisplayPlatform.h"
#include "TF_Main.h"
#include "TZirkoApplication.h"

int main(int argc, char** argv) {
    TDisplayPlatform::Choose();
    TZirkoApplication application(argc, argv);
    // Creating the window starts the log; a failing start ends the program there.
    TF_Main window;
    window.show();
    return TZirkoApplication::exec();
}
