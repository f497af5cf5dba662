#include "AgenteText.h"

#include "AgenteUtils.h"

namespace {

bool IsValid(const std::tm& T) {
    return T.tm_mday >= 1 && T.tm_mday <= 31 && T.tm_mon >= 0 && T.tm_mon <= 11 &&
           T.tm_year >= -1900 && T.tm_year <= 9999 - 1900 && T.tm_hour >= 0 && T.tm_hour <= 23 &&
           T.tm_min >= 0 && T.tm_min <= 59 && T.tm_sec >= 0 && T.tm_sec <= 60;
}

std::string TwoDigits(int Value) {
    std::string Text(2, '0');
    Text[0] = static_cast<char>('0' + Value / 10);
    Text[1] = static_cast<char>('0' + Value % 10);
    return Text;
}

std::string FourDigits(int Value) {
    return TwoDigits(Value / 100) + TwoDigits(Value % 100);
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

std::string FormatDateText(const std::optional<std::tm>& Local) {
    if (!Local || !IsValid(*Local)) {
        return "00.00.0000";
    }
    return TwoDigits(Local->tm_mday) + "." + TwoDigits(Local->tm_mon + 1) + "." +
           FourDigits(Local->tm_year + 1900);
}

std::string FormatTimeText(const std::optional<std::tm>& Local, std::string_view Separator) {
    if (!Local || !IsValid(*Local)) {
        return "00:00:00";
    }
    std::string Text = TwoDigits(Local->tm_hour);
    Text.append(Separator).append(TwoDigits(Local->tm_min));
    Text.append(Separator).append(TwoDigits(Local->tm_sec));
    return Text;
}

std::string FormatBackupStamp(const std::optional<std::tm>& Local) {
    if (!Local || !IsValid(*Local)) {
        return std::string(14, '0');
    }
    return FourDigits(Local->tm_year + 1900) + TwoDigits(Local->tm_mon + 1) +
           TwoDigits(Local->tm_mday) + TwoDigits(Local->tm_hour) + TwoDigits(Local->tm_min) +
           TwoDigits(Local->tm_sec);
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
