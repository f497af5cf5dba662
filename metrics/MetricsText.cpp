// SPDX-License-Identifier: GPL-3.0-or-later
#include "MetricsText.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace zirko::metrics {

namespace {

constexpr std::string_view Replacement = "\xEF\xBF\xBD";

// The length of the UTF-8 sequence at the start of Text, 0 when it is none
// (overlong forms, surrogates and code points past U+10FFFF included).
std::size_t Utf8Length(std::string_view Text) {
    const auto Byte = [&](std::size_t I) { return static_cast<unsigned char>(Text[I]); };
    const unsigned char Lead = Byte(0);
    if (Lead < 0x80) {
        return 1;
    }
    std::size_t Length = 0;
    char32_t Code = 0;
    if ((Lead & 0xE0) == 0xC0) {
        Length = 2;
        Code = Lead & 0x1F;
    } else if ((Lead & 0xF0) == 0xE0) {
        Length = 3;
        Code = Lead & 0x0F;
    } else if ((Lead & 0xF8) == 0xF0) {
        Length = 4;
        Code = Lead & 0x07;
    } else {
        return 0;
    }
    if (Text.size() < Length) {
        return 0;
    }
    for (std::size_t I = 1; I < Length; ++I) {
        if ((Byte(I) & 0xC0) != 0x80) {
            return 0;
        }
        Code = (Code << 6) | (Byte(I) & 0x3F);
    }
    static constexpr char32_t Least[] = {0, 0, 0x80, 0x800, 0x10000};
    const bool Surrogate = Code >= 0xD800 && Code <= 0xDFFF;
    return Code < Least[Length] || Surrogate || Code > 0x10FFFF ? 0 : Length;
}

} // namespace

void AppendNumber(std::string& Out, double Value) {
    if (std::isnan(Value)) {
        Out += "NaN";
        return;
    }
    if (std::isinf(Value)) {
        Out += Value > 0 ? "+Inf" : "-Inf";
        return;
    }
    // The shortest digits come in exponent form: "d[.ddd]e±X".
    char Digits[32];
    const auto End =
        std::to_chars(Digits, Digits + sizeof Digits, Value, std::chars_format::scientific).ptr;
    const std::string_view Text(Digits, static_cast<std::size_t>(End - Digits));
    const std::size_t E = Text.find('e');
    // The digits end at End, with no terminating NUL: read the exponent within them.
    int Exponent = 0;
    const char* From = Text.data() + E + 1;
    std::from_chars(From + (*From == '+' ? 1 : 0), End, Exponent);
    if (Exponent < -4 || Exponent >= 6) {
        Out.append(Text.substr(0, E + 2)); // mantissa, 'e' and the sign
        const std::string_view Power = Text.substr(E + 2);
        if (Power.size() < 2) {
            Out += '0';
        }
        Out.append(Power);
        return;
    }
    std::string Mantissa; // the digits without sign and point
    const bool Negative = Text[0] == '-';
    for (char C : Text.substr(0, E)) {
        if (C >= '0' && C <= '9') {
            Mantissa += C;
        }
    }
    if (Negative) {
        Out += '-';
    }
    if (Exponent < 0) {
        Out += "0.";
        Out.append(static_cast<std::size_t>(-Exponent - 1), '0');
        Out += Mantissa;
        return;
    }
    const std::size_t Whole = static_cast<std::size_t>(Exponent) + 1;
    if (Mantissa.size() <= Whole) {
        Out += Mantissa;
        Out.append(Whole - Mantissa.size(), '0');
        return;
    }
    Out.append(Mantissa, 0, Whole);
    Out += '.';
    Out.append(Mantissa, Whole);
}

void AppendNumber(std::string& Out, uint64_t Value) {
    if (Value >= 1000000) {
        AppendNumber(Out, static_cast<double>(Value));
        return;
    }
    char Digits[24];
    Out.append(Digits, std::to_chars(Digits, Digits + sizeof Digits, Value).ptr);
}

void AppendLabelValue(std::string& Out, std::string_view Value) {
    while (!Value.empty()) {
        const std::size_t Length = Utf8Length(Value);
        if (Length == 0) {
            Out += Replacement;
            Value.remove_prefix(1);
            continue;
        }
        switch (Value[0]) {
        case '\\':
            Out += "\\\\";
            break;
        case '"':
            Out += "\\\"";
            break;
        case '\n':
            Out += "\\n";
            break;
        default:
            Out.append(Value.substr(0, Length));
        }
        Value.remove_prefix(Length);
    }
}

} // namespace zirko::metrics
