// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TAgenteFatalReporter.h"
#include "TClock.h"
#include "TLogFile.h"

#include <cstdint>
#include <string>
#include <utility>

// Keeps the program's text log file: header banner, stamped entries, warning
// blocks, counters and a shut-down summary; puts an over-size log aside.
// Any input/output failure is fatal: it is reported and the process ends.
class TAgente {
public:
    // Above this many bytes (decimal millions) StartUp starts a new log.
    static constexpr int32_t SizeLimit = 25'000'000;
    // How many "_N" variants of a taken backup name StartUp tries.
    static constexpr int32_t MaxBackupSuffix = 99;

    TAgente() = default;
    TAgente(const TAgente&) = delete;
    TAgente& operator=(const TAgente&) = delete;

    const std::string& Path_Agente() const { return FPath_Agente; }
    void SetPath_Agente(std::string Value) { FPath_Agente = std::move(Value); }
    const std::string& ApplicationName() const { return FApplicationName; }
    void SetApplicationName(std::string Value) { FApplicationName = std::move(Value); }
    const std::string& FileName() const { return FFileName; }
    void SetFileName(std::string Value) { FFileName = std::move(Value); }
    bool ActiveLog() const { return FActiveLog; }
    void SetActiveLog(bool Value) { FActiveLog = Value; }
    bool BackupLog() const { return FBackupLog; }
    void SetBackupLog(bool Value) { FBackupLog = Value; }
    const std::string& VersionOfApplication() const { return FVersionOfApplication; }
    void SetVersionOfApplication(std::string Value) { FVersionOfApplication = std::move(Value); }
    // The owner's name for this component; the file name when FileName is empty.
    const std::string& Name() const { return FName; }
    void SetName(std::string Value) { FName = std::move(Value); }

    const std::string& LogFileName() const { return FLogFileName; }
    int32_t MessageCount() const { return FMessageCount; }
    int32_t WarningCount() const { return FWarningCount; }
    // One flag for the whole process, whichever agent started the log.
    static bool LogStarted() { return FLogStarted; }

    void StartUp();
    void AddMessage(const std::string& Msg);
    void AddWarning(const std::string& Msg);
    void ShutDown();

    // Non-owning; with none installed the message goes to stderr.
    void SetFatalReporter(TAgenteFatalReporter* Reporter) { FFatalReporter = Reporter; }
    // Non-owning; nullptr restores the system clock and locale.
    void SetClock(const TClock* Clock) { FClock = Clock; }

    std::string DateText() const;
    std::string TimeText() const;

private:
    void CreateLogFile();
    bool PutAside() const;
    std::string Prefix() const;
    bool CanWrite() const;
    const TClock& Clock() const { return FClock ? *FClock : TClock::System(); }
    [[noreturn]] void Fatal(const char* Message);

    std::string FPath_Agente;
    std::string FApplicationName;
    std::string FFileName;
    bool FActiveLog = false;
    bool FBackupLog = false;
    std::string FVersionOfApplication;
    std::string FName = "Agente";

    std::string FLogFileName;
    int32_t FMessageCount = 0;
    int32_t FWarningCount = 0;
    TLogFile FLogFile;
    const TClock* FClock = nullptr;
    TAgenteFatalReporter* FFatalReporter = nullptr;
    bool FFatalShowing = false;

    // One for the whole program, whichever agent started the log.
    static inline bool FLogStarted = false;
};
