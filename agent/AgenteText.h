// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

// The log file's texts, built from plain values. Every line ends with CR LF.

inline constexpr std::string_view AgenteLineEnd = "\r\n";

// "dd.mm.yyyy"; "00.00.0000" when the time is missing or out of range.
std::string FormatDateText(const std::optional<std::tm>& Local);
// "hh:nn:ss" with Separator for each colon; "00:00:00" when missing or out of range.
std::string FormatTimeText(const std::optional<std::tm>& Local, std::string_view Separator);
// "yyyymmddhhnnss" for backup names; fourteen zeros when missing or out of range.
std::string FormatBackupStamp(const std::optional<std::tm>& Local);

// Version "|" date "|" time "|".
std::string EntryPrefix(std::string_view Version, std::string_view Date, std::string_view Time);

std::string HeaderBanner(std::string_view Date, std::string_view Time);
std::string StartUpBlock(std::string_view Prefix, std::string_view ApplicationName);
std::string MessageLine(std::string_view Prefix, std::string_view Message);
std::string WarningBlock(std::string_view Prefix, std::string_view Warning);
// One of the shut-down block's three lines; each takes its own prefix.
std::string ShutDownLine(std::string_view Prefix, std::string_view Text);
