// SPDX-License-Identifier: GPL-3.0-or-later
#include "AgenteText.h"

#include "AgenteUtils.h"

namespace {

bool IsValid(const std::tm& T) {
    return T.tm_mday >= 1 && T.tm_mday <= 31 && T.tm_mon >= 0 && T.tm_mon <= 11 &&
           T.tm_year >= -1900 && T.tm_year <= 9999 - 1900 && T.tm_hour >= 0 && T.tm_hour <= 23 &&
           T.tm_min >= 0 && T.tm_min <= 59 && T.tm_sec >= 0 && T.tm_sec <= 60;
}

void PutTwoDigits(std::string& Text, int Value) {
    Text.push_back(static_cast<char>('0' + Value / 10));
    Text.push_back(static_cast<char>('0' + Value % 10));
}

std::string Line(std::string_view Text) {
    std::string Result;
    Result.reserve(Text.size() + AgenteLineEnd.size());
    Result.append(Text).append(AgenteLineEnd);
    return Result;
}

std::string StarLine() {
    return std::string(13, ' ') + std::string(57, '*');
}

} // namespace

// Built in place: these run for every log entry.
std::string FormatDateText(const std::optional<std::tm>& Local) {
    if (!Local || !IsValid(*Local)) {
        return "00.00.0000";
    }
    std::string Text;
    Text.reserve(10);
    PutTwoDigits(Text, Local->tm_mday);
    Text.push_back('.');
    PutTwoDigits(Text, Local->tm_mon + 1);
    Text.push_back('.');
    const int Year = Local->tm_year + 1900;
    PutTwoDigits(Text, Year / 100);
    PutTwoDigits(Text, Year % 100);
    return Text;
}

std::string FormatTimeText(const std::optional<std::tm>& Local, std::string_view Separator) {
    if (!Local || !IsValid(*Local)) {
        return "00:00:00";
    }
    std::string Text;
    Text.reserve(6 + 2 * Separator.size());
    PutTwoDigits(Text, Local->tm_hour);
    Text.append(Separator);
    PutTwoDigits(Text, Local->tm_min);
    Text.append(Separator);
    PutTwoDigits(Text, Local->tm_sec);
    return Text;
}

std::string FormatBackupStamp(const std::optional<std::tm>& Local) {
    if (!Local || !IsValid(*Local)) {
        return std::string(14, '0');
    }
    std::string Text;
    Text.reserve(14);
    const int Year = Local->tm_year + 1900;
    for (const int Value : {Year / 100, Year % 100, Local->tm_mon + 1, Local->tm_mday,
                            Local->tm_hour, Local->tm_min, Local->tm_sec}) {
        PutTwoDigits(Text, Value);
    }
    return Text;
}

std::string EntryPrefix(std::string_view Version, std::string_view Date, std::string_view Time) {
    std::string Prefix;
    Prefix.reserve(Version.size() + Date.size() + Time.size() + 3);
    Prefix.append(Version).append("|").append(Date).append("|").append(Time).append("|");
    return Prefix;
}

std::string HeaderBanner(std::string_view Date, std::string_view Time) {
    std::string Stamp = std::string(13, ' ') + "*** File di Log creato in data: ";
    Stamp.append(Date).append(" - ").append(Time).append(" ***");
    return Line("") + Line(StarLine()) + Line(Stamp) + Line(StarLine()) + Line("") + Line("");
}

std::string StartUpBlock(std::string_view Prefix, std::string_view ApplicationName) {
    std::string Who = "Who: ";
    Who.append(ApplicationName);
    return Line("") + Line("") + MessageLine(Prefix, "Start Up AGENTE") + MessageLine(Prefix, Who);
}

std::string MessageLine(std::string_view Prefix, std::string_view Message) {
    std::string Result;
    Result.reserve(Prefix.size() + Message.size() + AgenteLineEnd.size());
    Result.append(Prefix).append(Message).append(AgenteLineEnd);
    return Result;
}

std::string WarningBlock(std::string_view Prefix, std::string_view Warning) {
    const std::string Dashes = ReplicateChar('-', 80);
    return Line("") + Line(Dashes) + Line("Warning Agente !") + MessageLine(Prefix, Warning) +
           Line(Dashes) + Line("");
}

std::string ShutDownLine(std::string_view Prefix, std::string_view Text) {
    return MessageLine(Prefix, Text);
}
