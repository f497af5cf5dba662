// SPDX-License-Identifier: GPL-3.0-or-later
#include "TAgente.h"

#include "AgenteText.h"
#include "AgenteUtils.h"
#include "ExecutableFolder.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* CreateFailed = "AGENTE: impossibile creare file di log !";
constexpr const char* StartUpFailed = "AGENTE: impossibile fare lo start-up del file di log !";
constexpr const char* UpdateFailed = "AGENTE: impossibile aggiornare il file di log !";
constexpr const char* ShutDownFailed = "AGENTE: impossibile fare lo shut-down del file di log !";

bool FolderOfFileExists(const std::string& Path) {
    const size_t Slash = Path.rfind('/');
    const std::string Folder = Slash == std::string::npos ? "." : Path.substr(0, Slash + 1);
    struct stat Info {};
    return ::stat(Folder.c_str(), &Info) == 0 && S_ISDIR(Info.st_mode);
}

} // namespace

void TAgente::StartUp() {
    if (FFatalShowing) {
        return;
    }
    if (FPath_Agente.empty()) {
        FPath_Agente = ExecutableFolder();
    }
    if (FFileName.empty()) {
        FFileName = FName;
    }
    FLogFileName = FPath_Agente + FFileName + ".LOG";
    if (!FActiveLog) {
        return;
    }
    FMessageCount = 0;
    FWarningCount = 0;
    FLogFile.Close();

    // Lock an existing log before measuring or moving it, so a second running
    // copy can neither put aside nor empty the log the first one is writing.
    bool MustCreate = false;
    {
        TLogFile Guard;
        if (!Guard.OpenLocked(FLogFileName)) {
            // A folder that is missing or cannot be reached holds no log: the
            // file cannot be created there, which is the creation failure.
            if (errno != ENOENT && FolderOfFileExists(FLogFileName)) {
                Fatal(StartUpFailed);
            }
            MustCreate = true;
        } else if (TotalFileSize(FLogFileName) > SizeLimit) {
            // A backup that cannot be made keeps the old log and appends to it.
            MustCreate = !FBackupLog || PutAside();
        }
    }
    if (MustCreate) {
        CreateLogFile();
    }
    if (!FLogFile.OpenAppend(FLogFileName) ||
        !FLogFile.Append(StartUpBlock(Prefix(), FApplicationName))) {
        Fatal(StartUpFailed);
    }
    FActiveLog = true;
    FLogStarted = true;
}

void TAgente::AddMessage(const std::string& Msg) {
    if (!CanWrite() || Msg.empty()) {
        return;
    }
    ++FMessageCount;
    if (!FLogFile.Append(MessageLine(Prefix(), Msg))) {
        Fatal(UpdateFailed);
    }
}

void TAgente::AddWarning(const std::string& Msg) {
    if (!CanWrite() || Msg.empty()) {
        return;
    }
    ++FWarningCount;
    if (!FLogFile.Append(WarningBlock(Prefix(), Msg))) {
        Fatal(UpdateFailed);
    }
}

void TAgente::ShutDown() {
    if (!CanWrite()) {
        return;
    }
    // Each line reads the clock again.
    std::string Block =
        ShutDownLine(Prefix(), "Num. of messages: " + std::to_string(FMessageCount));
    Block += ShutDownLine(Prefix(), "Num. of warnings: " + std::to_string(FWarningCount));
    Block += ShutDownLine(Prefix(), "ShutDown Agente of " + FApplicationName);
    if (!FLogFile.Append(Block) || !FLogFile.Close()) {
        Fatal(ShutDownFailed);
    }
    FActiveLog = false;
    FLogStarted = false;
    FLogFileName.clear();
}

std::string TAgente::DateText() const {
    return FormatDateText(Clock().LocalNow());
}

std::string TAgente::TimeText() const {
    return FormatTimeText(Clock().LocalNow(), Clock().TimeSeparator());
}

void TAgente::CreateLogFile() {
    TLogFile File;
    const auto Now = Clock().LocalNow();
    const bool Written = File.Create(FLogFileName) &&
                         File.Append(HeaderBanner(FormatDateText(Now),
                                                  FormatTimeText(Now, Clock().TimeSeparator())));
    if (!File.Close() || !Written) {
        Fatal(CreateFailed);
    }
}

bool TAgente::PutAside() const {
    const std::string Base = FPath_Agente + FFileName + FormatBackupStamp(Clock().LocalNow());
    for (int32_t Suffix = 0; Suffix <= MaxBackupSuffix; ++Suffix) {
        std::string Target = Base;
        if (Suffix > 0) {
            Target.append("_").append(std::to_string(Suffix));
        }
        Target.append(".LOG");
        switch (RenameNoReplace(FLogFileName, Target)) {
        case TRenameResult::Renamed:
            return true;
        case TRenameResult::TargetTaken:
            continue;
        case TRenameResult::Failed:
            return false;
        }
    }
    return false;
}

std::string TAgente::Prefix() const {
    // One reading for both texts, so an entry written at midnight cannot mix two days.
    const auto Now = Clock().LocalNow();
    return EntryPrefix(FVersionOfApplication, FormatDateText(Now),
                       FormatTimeText(Now, Clock().TimeSeparator()));
}

bool TAgente::CanWrite() const {
    return !FFatalShowing && !FLogFileName.empty() && FActiveLog && FLogStarted;
}

void TAgente::Fatal(const char* Message) {
    // The reporter may run an event loop; calls arriving meanwhile are ignored.
    FFatalShowing = true;
    if (FFatalReporter != nullptr) {
        try {
            FFatalReporter->ShowFatal(Message);
        } catch (...) {
            // The process ends either way.
        }
    } else {
        const std::string Line = std::string(Message) + "\n";
        (void)!::write(STDERR_FILENO, Line.data(), Line.size());
    }
    // A fatal failure is not a normal end: exit code 1, and no further
    // clean-up that could write or block.
    std::_Exit(EXIT_FAILURE);
}
