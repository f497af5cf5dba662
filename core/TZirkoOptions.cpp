// SPDX-License-Identifier: GPL-3.0-or-later
#include "TZirkoOptions.h"

#include "TLanguage.h"

#include <charconv>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

bool ReadInt(std::string_view Text, int& Value) {
    const char* End = Text.data() + Text.size();
    const auto [Stop, Error] = std::from_chars(Text.data(), End, Value);
    return !Text.empty() && Error == std::errc() && Stop == End;
}

std::string Quoted(std::string_view Text) {
    return "'" + std::string(Text) + "'";
}

// A message in the user's language, its %1, %2... filled with Args.
template <class... TArgs>
std::string Words(const char* Source, const TArgs&... Args) {
    const QString Text = TLanguage::Text("TZirkoOptions", Source);
    if constexpr (sizeof...(Args) == 0) {
        return Text.toStdString();
    } else {
        return Text.arg(QString::fromStdString(std::string(Args))...).toStdString();
    }
}

TParsedCommandLine Failure(const std::string& Message) {
    return {std::nullopt, 2, Words(QT_TRANSLATE_NOOP("TZirkoOptions", "zirko: %1 (see zirko --help)"), Message)};
}

// The value of "--name VALUE" or "--name=VALUE"; nullopt when the option is not Name.
std::optional<std::string_view> ValueOf(std::string_view Name, int argc, const char* const* argv,
                                        int& Index, bool& Missing) {
    const std::string_view Argument = argv[Index];
    if (Argument.substr(0, Name.size()) != Name) {
        return std::nullopt;
    }
    const std::string_view Rest = Argument.substr(Name.size());
    if (!Rest.empty() && Rest.front() == '=') {
        return Rest.substr(1);
    }
    if (!Rest.empty()) {
        return std::nullopt; // another option that begins alike
    }
    Missing = Index + 1 >= argc || argv[Index + 1] == nullptr;
    return Missing ? std::string_view() : std::string_view(argv[++Index]);
}

} // namespace

bool SplitMetricsAddress(const std::string& Value, std::string& Address, int& Port) {
    const size_t Colon = Value.rfind(':');
    Address = Colon == std::string::npos || Colon == 0 ? "127.0.0.1" : Value.substr(0, Colon);
    if (Address.size() > 2 && Address.front() == '[' && Address.back() == ']') {
        Address = Address.substr(1, Address.size() - 2);
    }
    const std::string_view PortText = Colon == std::string::npos
                                          ? std::string_view(Value)
                                          : std::string_view(Value).substr(Colon + 1);
    return ReadInt(PortText, Port) && Port >= 1 && Port <= 65535 && !Address.empty();
}

namespace {

// Qt's own options, which the window leaves to Qt in either spelling; the first take
// the next argument as their value unless written with "=".
constexpr std::string_view QtValueOptions[] = {"platform",
                                               "platformpluginpath",
                                               "platformtheme",
                                               "plugin",
                                               "qwindowgeometry",
                                               "geometry",
                                               "qwindowtitle",
                                               "title",
                                               "qwindowicon",
                                               "icon",
                                               "session",
                                               "display",
                                               "name",
                                               "style",
                                               "stylesheet",
                                               "qmljsdebugger"};
constexpr std::string_view QtFlags[] = {"reverse", "widgetcount", "nograb",
                                        "dograb",  "sync",        "testability"};

// The last index one of Qt's options at Index takes (its own or its value's); -1 when
// it is none of them.
int SkipQtOption(int argc, const char* const* argv, int Index) {
    std::string_view Argument = argv[Index];
    Argument.remove_prefix(Argument.substr(0, 2) == "--" ? 2 : 1);
    const size_t Equals = Argument.find('=');
    const std::string_view Name = Argument.substr(0, Equals);
    for (const std::string_view Option : QtValueOptions) {
        if (Name == Option) {
            const bool TakesNext =
                Equals == std::string_view::npos && Index + 1 < argc && argv[Index + 1] != nullptr;
            return TakesNext ? Index + 1 : Index;
        }
    }
    for (const std::string_view Option : QtFlags) {
        if (Argument == Option) {
            return Index;
        }
    }
    return -1;
}

// The arguments at Unknown that none of Zirko's options took: without a window each is
// an error; the window leaves Qt's options and plain arguments to Qt, and refuses
// any other "--option".
std::optional<TParsedCommandLine> RefuseUnknown(int argc, const char* const* argv,
                                                const std::vector<int>& Unknown, bool Headless) {
    for (size_t At = 0; At < Unknown.size(); ++At) {
        const int Index = Unknown[At];
        const std::string_view Argument = argv[Index];
        const bool Dashed = Argument.size() > 1 && Argument.front() == '-';
        const int Past = Dashed ? SkipQtOption(argc, argv, Index) : -1;
        if (Headless || (Argument.substr(0, 2) == "--" && Past < 0)) {
            return Failure(Words(Dashed ? QT_TRANSLATE_NOOP("TZirkoOptions", "unknown option %1")
                                        : QT_TRANSLATE_NOOP("TZirkoOptions", "unexpected argument %1"),
                                 Quoted(Argument)));
        }
        // The value of Qt's option was taken as unknown too: it is Qt's.
        if (Past > Index && At + 1 < Unknown.size() && Unknown[At + 1] == Past) {
            ++At;
        }
    }
    return std::nullopt;
}

// Values each option takes as given but the whole of the line refuses.
std::optional<TParsedCommandLine> RefuseBadValues(const TZirkoOptions& Options) {
    if (Options.Metrics) {
        std::string Address;
        int Port = 0;
        if (!SplitMetricsAddress(*Options.Metrics, Address, Port)) {
            return Failure(Words(QT_TRANSLATE_NOOP("TZirkoOptions", "--metrics needs ADDRESS:PORT "
                                                    "with a port from 1 to 65535, not %1"),
                                 Quoted(*Options.Metrics)));
        }
    }
    if (Options.Report && (!Options.Host || !Options.Out)) {
        return Failure(Words(QT_TRANSLATE_NOOP("TZirkoOptions", "--report needs --host and --out")));
    }
    if (!Options.Report && (Options.From || Options.To || Options.Out)) {
        return Failure(Words(QT_TRANSLATE_NOOP("TZirkoOptions", "--from, --to and --out go with --report")));
    }
    for (const std::string& Host : Options.Hosts) {
        if (Host.find_first_not_of(" \t") == std::string::npos) {
            return Failure(Words(QT_TRANSLATE_NOOP("TZirkoOptions", "--host needs a host name or address")));
        }
    }
    return std::nullopt;
}

} // namespace

TParsedCommandLine ParseZirkoOptions(int argc, const char* const* argv, bool Headless) {
    TZirkoOptions Options;
    const std::pair<const TZirkoOptions::TRange*, std::optional<int>*> Numbers[] = {
        {&TZirkoOptions::RunMinutesRange, &Options.RunMinutes},
        {&TZirkoOptions::EveryMinutesRange, &Options.EveryMinutes},
        {&TZirkoOptions::LimitMsRange, &Options.LimitMs},
        {&TZirkoOptions::AlarmAfterRange, &Options.AlarmAfter},
    };
    const std::pair<const char*, std::optional<std::string>*> Texts[] = {
        {"--host", &Options.Host},
        {"--config", &Options.Config},
        {"--metrics-textfile", &Options.MetricsTextfile},
        {"--metrics", &Options.Metrics},
        {"--from", &Options.From},
        {"--to", &Options.To},
        {"--out", &Options.Out},
    };
    const std::pair<const char*, bool*> Switches[] = {{"--auto", &Options.Auto},
                                                      {"--minimized", &Options.Minimized},
                                                      {"--headless", &Options.Headless},
                                                      {"--report", &Options.Report}};
    std::vector<int> Unknown;
    for (int Index = 1; Index < argc && argv[Index] != nullptr; ++Index) {
        const std::string_view Argument = argv[Index];
        if (Argument == "--") {
            break;
        }
        bool Known = false, Missing = false;
        for (const auto& [Name, Flag] : Switches) {
            if (Argument == Name) {
                *Flag = Known = true;
            }
        }
        for (const auto& [Range, Value] : Numbers) {
            if (Known) {
                break;
            }
            if (const auto Text = ValueOf(Range->Option, argc, argv, Index, Missing)) {
                Known = true;
                int Number = 0;
                if (Missing || !ReadInt(*Text, Number) || Number < Range->Minimum ||
                    Number > Range->Maximum) {
                    const std::string From = std::to_string(Range->Minimum);
                    const std::string To = std::to_string(Range->Maximum);
                    return Failure(Missing ? Words(QT_TRANSLATE_NOOP("TZirkoOptions", "%1 needs a whole number from %2 to %3"), Range->Option, From, To)
                                           : Words(QT_TRANSLATE_NOOP("TZirkoOptions", "%1 needs a whole number from %2 to %3, not %4"), Range->Option, From, To, Quoted(*Text)));
                }
                *Value = Number;
            }
        }
        for (const auto& [Name, Value] : Texts) {
            if (Known) {
                break;
            }
            if (const auto Text = ValueOf(Name, argc, argv, Index, Missing)) {
                Known = true;
                if (Missing || Text->empty()) {
                    return Failure(Words(QT_TRANSLATE_NOOP("TZirkoOptions", "%1 needs a value"), Name));
                }
                *Value = std::string(*Text);
                if (Value == &Options.Host) {
                    Options.Hosts.push_back(*Options.Host);
                }
            }
        }
        if (!Known) {
            Unknown.push_back(Index);
        }
    }
    // Known only now: --headless may come after an option Qt would have taken.
    if (auto Refusal = RefuseUnknown(argc, argv, Unknown, Headless || Options.Headless || Options.Report)) {
        return *Refusal;
    }
    if (auto Refusal = RefuseBadValues(Options)) {
        return *Refusal;
    }
    return {Options, 0, {}};
}

std::string ZirkoHelpText() {
    return Words(QT_TRANSLATE_NOOP("TZirkoOptions", "Usage: zirko [OPTION]...\n"
           "\n"
           "Watches whether a network host answers ICMP echo requests, and how fast:\n"
           "five-ping bursts, scheduled monitoring with statistics and alarms in the\n"
           "notification area, a traceroute, and a log file kept across runs.\n"
           "Without options every start begins from the window's defaults.\n"
           "\n"
           "  --host HOST            the host to watch (the Ping page's host field);\n"
           "                         headless watches each one given\n"
           "  --config FILE          headless: watch every target of FILE (YAML),\n"
           "                         read again at SIGHUP\n"
           "  --auto                 start \"Auto\" once the window is up\n"
           "  --run-minutes N        minutes of each run, 1-60 (default 1)\n"
           "  --every-minutes N      minutes of rest between runs, 1-60 (default 5)\n"
           "  --limit-ms N           the average's limit in ms, 10-10000 (default 250)\n"
           "  --alarm-after N        lost pings in a row before the alarm, 1-1000 (default 10)\n"
           "  --minimized            start hidden in the tray (minimized without one)\n"
           "  --headless             monitor without a window or display, as with --auto;\n"
           "                         SIGTERM or SIGINT ends it\n"
           "  --metrics ADDR:PORT    serve Prometheus metrics at http://ADDR:PORT/metrics\n"
           "                         (ADDR 127.0.0.1 unless given)\n"
           "  --metrics-textfile DIR write DIR/zirko.prom after every ping, for\n"
           "                         node_exporter's textfile collector\n"
           "  --report --host HOST --out FILE.pdf [--from WHEN] [--to WHEN]\n"
           "                         write a PDF report of HOST's history, WHEN as\n"
           "                         YYYY-MM-DD[THH:MM] local time (default: the last\n"
           "                         24 hours); exit 2 when there is nothing to report\n"
           "  -h, --help             show this help and exit\n"
           "  -V, --version          show the version and exit\n"
           "\n"
           "The log, ZIRKO.LOG, lies in $XDG_STATE_HOME/zirko/ (~/.local/state/zirko/)\n"
           "for an installed copy, else in the folder of the executable.\n"
           "Pinging needs raw sockets. The window holds none and gives up every\n"
           "capability at start; the helper zirko-socket, granted cap_net_raw, opens\n"
           "them, drops the capability and sends the window's echo requests. Without\n"
           "it, unprivileged ICMP sockets allowed by net.ipv4.ping_group_range serve.\n"));
}
