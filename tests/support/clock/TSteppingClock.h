#pragma once

#include "TLocaleFormats.h"

#include <QDateTime>

// Each reading is one second after the last, so stamps show which readings made
// them and in which order.
class TSteppingClock {
public:
    explicit TSteppingClock(const QDateTime& AFirst) : First(AFirst) {
        TLocaleFormats::SetNowSource([this] { return First.addSecs(Reads++); });
    }
    ~TSteppingClock() { TLocaleFormats::SetNowSource({}); }
    TSteppingClock(const TSteppingClock&) = delete;
    TSteppingClock& operator=(const TSteppingClock&) = delete;

    QDateTime First;
    int Reads = 0;
};
