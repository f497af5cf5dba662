// SPDX-License-Identifier: GPL-3.0-or-later
#include "TTargetsFile.h"

#include <yaml-cpp/yaml.h>

#include <arpa/inet.h>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr int64_t NsPerMs = 1'000'000;
constexpr int64_t MaxIntervalMs = 24LL * 3600 * 1000;

std::string LineText(const std::string& AFile, int ALine, const std::string& AReason) {
    return AFile + (ALine > 0 ? ":" + std::to_string(ALine) : std::string()) + ": " + AReason;
}

std::string Quoted(const std::string& AText) {
    return "\"" + AText + "\"";
}

// The nanoseconds of one unit of a duration, 0 when it is none.
int64_t UnitNs(std::string_view AUnit) {
    static const std::pair<std::string_view, int64_t> Units[] = {
        {"ns", 1},       {"us", 1000},          {"\xC2\xB5s", 1000},     {"\xCE\xBCs", 1000},
        {"ms", NsPerMs}, {"s", 1000 * NsPerMs}, {"m", 60'000 * NsPerMs}, {"h", 3'600'000 * NsPerMs},
    };
    for (const auto& [Name, Ns] : Units) {
        if (Name == AUnit) {
            return Ns;
        }
    }
    return 0;
}

bool IsDigit(char AChar) {
    return AChar >= '0' && AChar <= '9';
}

// Reads one "<number><unit>" from the front of AText into ANs; false when it is none.
bool TakeComponent(std::string_view& AText, long double& ANs) {
    std::size_t At = 0;
    while (At < AText.size() && (IsDigit(AText[At]) || AText[At] == '.')) {
        ++At;
    }
    const std::string Number(AText.substr(0, At));
    if (Number.empty() || Number == "." || std::count(Number.begin(), Number.end(), '.') > 1) {
        return false;
    }
    std::size_t End = At;
    while (End < AText.size() && !IsDigit(AText[End]) && AText[End] != '.') {
        ++End;
    }
    const int64_t Unit = UnitNs(AText.substr(At, End - At));
    if (Unit == 0) {
        return false;
    }
    ANs += std::strtold(Number.c_str(), nullptr) * static_cast<long double>(Unit);
    AText.remove_prefix(End);
    return true;
}

// Walks one group of the file, checking each key, into the targets it lists.
class TGroupReader {
public:
    TGroupReader(const std::string& AFile) : FFile(AFile) {}

    std::vector<TTarget> Read(const YAML::Node& AGroup) {
        if (!AGroup.IsMap()) {
            Fail(AGroup, "a group of targets must be a mapping with \"hosts\"");
        }
        TTarget Settings;
        std::vector<std::pair<std::string, int>> Hosts;
        std::set<std::string> Seen;
        for (const auto& Pair : AGroup) {
            const std::string Key = Pair.first.Scalar();
            if (!Seen.insert(Key).second) {
                Fail(Pair.first, "key " + Quoted(Key) + " given twice");
            }
            if (Key == "hosts") {
                Hosts = ReadHosts(Pair.second);
            } else {
                ReadSetting(Key, Pair.first, Pair.second, Settings);
            }
        }
        if (!Settings.Source.empty()) {
            RefuseOtherFamily(AGroup["source"], Settings, Hosts);
        }
        std::vector<TTarget> Targets;
        for (const auto& [Host, Line] : Hosts) {
            Targets.push_back(Settings);
            Targets.back().Host = Host;
        }
        return Targets;
    }

    [[noreturn]] void Fail(const YAML::Node& ANode, const std::string& AReason) const {
        const YAML::Mark Mark = ANode.Mark();
        throw ETargetsFile(FFile, Mark.is_null() ? 0 : Mark.line + 1, AReason);
    }

    std::string Scalar(const YAML::Node& ANode, const std::string& AKey) const {
        if (!ANode.IsScalar()) {
            Fail(ANode, Quoted(AKey) + " must be a single value");
        }
        return ANode.Scalar();
    }

private:
    // A socket bound to an address of one family cannot send to the other.
    void RefuseOtherFamily(const YAML::Node& ASource, const TTarget& ASettings,
                           const std::vector<std::pair<std::string, int>>& AHosts) const {
        in6_addr Any{};
        const bool Source4 = ::inet_pton(AF_INET, ASettings.Source.c_str(), &Any) == 1;
        const char* Family = Source4 ? "IPv4" : "IPv6";
        if (ASettings.Network == (Source4 ? TTargetNetwork::Ip6 : TTargetNetwork::Ip4)) {
            Fail(ASource, "\"source\" " + Quoted(ASettings.Source) + " is " + Family +
                              " but \"network\" is " + (Source4 ? "ip6" : "ip4"));
        }
        for (const auto& [Host, Line] : AHosts) {
            if (::inet_pton(Source4 ? AF_INET6 : AF_INET, Host.c_str(), &Any) == 1) {
                throw ETargetsFile(FFile, Line,
                                   "host " + Quoted(Host) + " is not " + Family +
                                       " like \"source\" " + Quoted(ASettings.Source));
            }
        }
    }

    std::vector<std::pair<std::string, int>> ReadHosts(const YAML::Node& AList) const {
        if (AList.IsNull()) {
            return {};
        }
        if (!AList.IsSequence()) {
            Fail(AList, "\"hosts\" must be a list");
        }
        std::vector<std::pair<std::string, int>> Hosts;
        for (const YAML::Node& Host : AList) {
            const std::string Name = Scalar(Host, "hosts");
            if (Name.empty()) {
                Fail(Host, "an empty host");
            }
            Hosts.emplace_back(Name, Host.Mark().line + 1);
        }
        return Hosts;
    }

    int Whole(const YAML::Node& ANode, const std::string& AKey, int AMin, int AMax) const {
        const std::string Text = Scalar(ANode, AKey);
        int Value = 0;
        const auto [End, Error] = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
        if (Error != std::errc() || End != Text.data() + Text.size() || Value < AMin ||
            Value > AMax) {
            Fail(ANode, Quoted(AKey) + " must be a whole number from " + std::to_string(AMin) +
                            " to " + std::to_string(AMax) + ", not " + Quoted(Text));
        }
        return Value;
    }

    void ReadSetting(const std::string& AKey, const YAML::Node& AKeyNode, const YAML::Node& AValue,
                     TTarget& ASettings) const {
        if (AKey == "interval") {
            const std::string Text = Scalar(AValue, AKey);
            const auto Ms = zirko::targets::ParseIntervalMs(Text);
            if (!Ms) {
                Fail(AValue, "\"interval\" must be a duration such as 1s or 500ms, from 1ms to "
                             "24h in whole milliseconds, not " +
                                 Quoted(Text));
            }
            ASettings.IntervalMs = *Ms;
        } else if (AKey == "network") {
            ASettings.Network = Choice<TTargetNetwork>(AValue, AKey,
                                                       {{"ip", TTargetNetwork::Any},
                                                        {"ip4", TTargetNetwork::Ip4},
                                                        {"ip6", TTargetNetwork::Ip6}});
        } else if (AKey == "protocol") {
            ASettings.Protocol = Choice<TTargetProtocol>(
                AValue, AKey, {{"icmp", TTargetProtocol::Icmp}, {"udp", TTargetProtocol::Udp}});
            if (ASettings.Protocol == TTargetProtocol::Udp) {
                Fail(AValue, "\"protocol\" udp is not supported: Zirko probes with icmp");
            }
        } else if (AKey == "size") {
            ASettings.Size = Whole(AValue, AKey, TTarget::MinSize, TTarget::MaxSize);
        } else if (AKey == "source") {
            ASettings.Source = Scalar(AValue, AKey);
            in6_addr Any{};
            if (::inet_pton(AF_INET, ASettings.Source.c_str(), &Any) != 1 &&
                ::inet_pton(AF_INET6, ASettings.Source.c_str(), &Any) != 1) {
                Fail(AValue,
                     "\"source\" must be an IPv4 or IPv6 address, not " + Quoted(ASettings.Source));
            }
        } else if (AKey == "labels") {
            ASettings.Labels = ReadLabels(AValue);
        } else if (AKey == "alarm_after_lost") {
            ASettings.AlarmAfterLost =
                Whole(AValue, AKey, TTarget::MinAlarmAfterLost, TTarget::MaxAlarmAfterLost);
        } else if (AKey == "latency_limit_ms") {
            ASettings.LatencyLimitMs =
                Whole(AValue, AKey, TTarget::MinLatencyLimitMs, TTarget::MaxLatencyLimitMs);
        } else if (AKey == "stopped") {
            ASettings.Stopped = Choice<bool>(AValue, AKey, {{"false", false}, {"true", true}});
        } else {
            Fail(AKeyNode, "unknown key " + Quoted(AKey));
        }
    }

    template <typename TValue>
    TValue Choice(const YAML::Node& ANode, const std::string& AKey,
                  std::initializer_list<std::pair<const char*, TValue>> AChoices) const {
        const std::string Text = Scalar(ANode, AKey);
        std::string Names;
        for (const auto& [Name, Value] : AChoices) {
            if (Text == Name) {
                return Value;
            }
            Names += (Names.empty() ? "" : ", ") + std::string(Name);
        }
        Fail(ANode, Quoted(AKey) + " must be one of " + Names + ", not " + Quoted(Text));
    }

    std::map<std::string, std::string> ReadLabels(const YAML::Node& AMap) const {
        if (AMap.IsNull()) {
            return {};
        }
        if (!AMap.IsMap()) {
            Fail(AMap, "\"labels\" must be a mapping of names to values");
        }
        std::map<std::string, std::string> Labels;
        for (const auto& Pair : AMap) {
            const std::string Name = Scalar(Pair.first, "labels");
            if (!ValidLabelName(Name) || TTarget::IsReservedLabel(Name)) {
                Fail(Pair.first, "label name " + Quoted(Name) +
                                     " is not allowed (letters, digits and _, not host, ip "
                                     "or source)");
            }
            if (!Labels.emplace(Name, Scalar(Pair.second, Name)).second) {
                Fail(Pair.first, "label " + Quoted(Name) + " given twice");
            }
        }
        return Labels;
    }

    static bool ValidLabelName(const std::string& AName) {
        if (AName.empty() || IsDigit(AName.front())) {
            return false;
        }
        return std::all_of(AName.begin(), AName.end(), [](char C) {
            return IsDigit(C) || C == '_' || (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z');
        });
    }

    const std::string& FFile;
};

// The metrics could not tell two targets of one host with the same labels apart.
void RefuseTwins(const YAML::Node& AGroups, const std::vector<std::vector<TTarget>>& AListed,
                 const TGroupReader& AReader) {
    std::map<std::pair<std::string, std::map<std::string, std::string>>, int> Seen;
    for (std::size_t G = 0; G < AListed.size(); ++G) {
        for (std::size_t H = 0; H < AListed[G].size(); ++H) {
            const TTarget& Each = AListed[G][H];
            const YAML::Node Host = AGroups[G]["hosts"][H];
            const auto [Found, Added] =
                Seen.emplace(std::make_pair(Each.Host, Each.Labels), Host.Mark().line + 1);
            if (!Added) {
                AReader.Fail(Host, "host " + Quoted(Each.Host) + " is already listed on line " +
                                       std::to_string(Found->second) + " with the same labels");
            }
        }
    }
}

// One group of the file: the hosts, then each setting that is not at its default.
void EmitGroup(YAML::Emitter& AOut, const std::vector<TTarget>& AHosts) {
    const TTarget& First = AHosts.front();
    const TTarget Default;
    AOut << YAML::BeginMap << YAML::Key << "hosts" << YAML::Value << YAML::BeginSeq;
    for (const TTarget& Each : AHosts) {
        AOut << Each.Host;
    }
    AOut << YAML::EndSeq;
    AOut << YAML::Key << "interval" << YAML::Value
         << zirko::targets::IntervalText(First.IntervalMs);
    if (First.Network != Default.Network) {
        AOut << YAML::Key << "network" << YAML::Value
             << (First.Network == TTargetNetwork::Ip4 ? "ip4" : "ip6");
    }
    if (First.Protocol != Default.Protocol) {
        AOut << YAML::Key << "protocol" << YAML::Value << "udp";
    }
    const std::pair<const char*, std::pair<int, int>> Numbers[] = {
        {"size", {First.Size, Default.Size}},
        {"alarm_after_lost", {First.AlarmAfterLost, Default.AlarmAfterLost}},
        {"latency_limit_ms", {First.LatencyLimitMs, Default.LatencyLimitMs}},
    };
    for (const auto& [Key, Values] : Numbers) {
        if (Values.first != Values.second) {
            AOut << YAML::Key << Key << YAML::Value << Values.first;
        }
    }
    if (First.Stopped) {
        AOut << YAML::Key << "stopped" << YAML::Value << true;
    }
    if (!First.Source.empty()) {
        AOut << YAML::Key << "source" << YAML::Value << First.Source;
    }
    if (!First.Labels.empty()) {
        AOut << YAML::Key << "labels" << YAML::Value << YAML::BeginMap;
        for (const auto& [Name, Value] : First.Labels) {
            // Quoted, so a value such as "yes" or "010" stays the text it was.
            AOut << YAML::Key << Name << YAML::Value << YAML::DoubleQuoted << Value;
        }
        AOut << YAML::EndMap;
    }
    AOut << YAML::EndMap;
}

// Closes a descriptor when it goes out of scope.
struct TFd {
    int Fd;
    ~TFd() {
        if (Fd >= 0) {
            ::close(Fd);
        }
    }
};

// Writes all of AText to AFd; errno tells why not.
bool WriteAll(int AFd, const std::string& AText) {
    std::size_t Done = 0;
    while (Done < AText.size()) {
        const ssize_t N = ::write(AFd, AText.data() + Done, AText.size() - Done);
        if (N < 0 && errno != EINTR) {
            return false;
        }
        Done += N > 0 ? static_cast<std::size_t>(N) : 0;
    }
    return true;
}

std::string FolderOf(const std::string& APath) {
    const std::size_t Slash = APath.rfind('/');
    return Slash == std::string::npos ? "." : Slash == 0 ? "/" : APath.substr(0, Slash);
}

} // namespace

ETargetsFile::ETargetsFile(const std::string& AFile, int ALine, const std::string& AReason)
    : std::runtime_error(LineText(AFile, ALine, AReason)), FFile(AFile), FLine(ALine),
      FReason(AReason) {}

namespace zirko::targets {

std::optional<int64_t> ParseIntervalMs(const std::string& AText) {
    std::string_view Rest = AText;
    if (!Rest.empty() && Rest.front() == '+') {
        Rest.remove_prefix(1);
    }
    long double Ns = 0;
    if (Rest.empty()) {
        return std::nullopt;
    }
    while (!Rest.empty()) {
        if (!TakeComponent(Rest, Ns)) {
            return std::nullopt;
        }
    }
    const long double Rounded = std::round(Ns);
    if (Rounded < NsPerMs || Rounded > static_cast<long double>(MaxIntervalMs) * NsPerMs ||
        std::fmod(Rounded, static_cast<long double>(NsPerMs)) != 0) {
        return std::nullopt;
    }
    return static_cast<int64_t>(Rounded) / NsPerMs;
}

std::string IntervalText(int64_t AMs) {
    static const std::pair<int64_t, const char*> Units[] = {
        {3'600'000, "h"}, {60'000, "m"}, {1000, "s"}};
    for (const auto& [Ms, Unit] : Units) {
        if (AMs % Ms == 0) {
            return std::to_string(AMs / Ms) + Unit;
        }
    }
    return std::to_string(AMs) + "ms";
}

std::variant<TTarget, std::string> FromFields(const TTargetFields& AFields) {
    // One group as the file would hold it, read by the file's own rules.
    YAML::Node Group;
    Group["hosts"].push_back(AFields.Host);
    const std::pair<const char*, const std::string*> Keys[] = {
        {"interval", &AFields.Interval},
        {"alarm_after_lost", &AFields.AlarmAfterLost},
        {"latency_limit_ms", &AFields.LatencyLimitMs},
    };
    for (const auto& [Key, Value] : Keys) {
        Group[Key] = *Value;
    }
    const std::pair<const char*, const std::string*> Labels[] = {{"name", &AFields.Name},
                                                                 {"group", &AFields.Group}};
    for (const auto& [Key, Value] : Labels) {
        if (!Value->empty()) {
            Group["labels"][Key] = *Value;
        }
    }
    const std::string NoFile;
    try {
        std::vector<TTarget> One = TGroupReader(NoFile).Read(Group);
        One.front().Stopped = AFields.Stopped;
        return One.front();
    } catch (const ETargetsFile& Error) {
        return Error.Reason();
    }
}

std::vector<TTarget> Parse(const std::string& AText, const std::string& AFile) {
    YAML::Node Root;
    try {
        Root = YAML::Load(AText);
    } catch (const YAML::Exception& Error) {
        throw ETargetsFile(AFile, Error.mark.is_null() ? 0 : Error.mark.line + 1, Error.msg);
    }
    const TGroupReader Reader(AFile);
    if (Root.IsNull()) {
        return {};
    }
    if (!Root.IsMap()) {
        Reader.Fail(Root, "the file must be a mapping with \"targets\"");
    }
    bool HasTargets = false;
    for (const auto& Pair : Root) {
        if (Pair.first.Scalar() != "targets") {
            Reader.Fail(Pair.first, "unknown key " + Quoted(Pair.first.Scalar()));
        }
        if (std::exchange(HasTargets, true)) {
            Reader.Fail(Pair.first, "key \"targets\" given twice");
        }
    }
    const YAML::Node Groups = Root["targets"];
    if (!Groups || Groups.IsNull()) {
        return {};
    }
    if (!Groups.IsSequence()) {
        Reader.Fail(Groups, "\"targets\" must be a list of groups");
    }
    std::vector<std::vector<TTarget>> Listed;
    for (const YAML::Node& Group : Groups) {
        Listed.push_back(TGroupReader(AFile).Read(Group));
    }
    RefuseTwins(Groups, Listed, Reader);
    std::vector<TTarget> Targets;
    for (auto& Group : Listed) {
        std::move(Group.begin(), Group.end(), std::back_inserter(Targets));
    }
    return Targets;
}

std::vector<TTarget> Read(const std::string& APath) {
    // Read with the system's own errors: a stream would take a folder for an empty file,
    // and an empty file means no targets at all.
    const TFd File{::open(APath.c_str(), O_RDONLY | O_CLOEXEC)};
    const auto Fail = [&] {
        throw ETargetsFile(APath, 0, std::string("cannot read: ") + std::strerror(errno));
    };
    if (File.Fd < 0) {
        Fail();
    }
    std::string Content;
    char Buffer[65536];
    for (ssize_t N = 1; N != 0;) {
        N = ::read(File.Fd, Buffer, sizeof(Buffer));
        if (N < 0 && errno != EINTR) {
            Fail();
        }
        Content.append(Buffer, static_cast<std::size_t>(std::max<ssize_t>(N, 0)));
    }
    return Parse(Content, APath);
}

std::string Text(const std::vector<TTarget>& ATargets) {
    YAML::Emitter Out;
    Out << YAML::BeginMap << YAML::Key << "targets" << YAML::Value << YAML::BeginSeq;
    for (std::size_t Start = 0; Start < ATargets.size();) {
        std::size_t End = Start + 1;
        while (End < ATargets.size() && ATargets[End].SameGroupAs(ATargets[Start])) {
            ++End;
        }
        EmitGroup(Out, {ATargets.begin() + static_cast<std::ptrdiff_t>(Start),
                        ATargets.begin() + static_cast<std::ptrdiff_t>(End)});
        Start = End;
    }
    Out << YAML::EndSeq << YAML::EndMap;
    return std::string(Out.c_str()) + "\n";
}

void Write(const std::string& APath, const std::vector<TTarget>& ATargets) {
    const std::string Content = Text(ATargets);
    std::string Temporary = APath + ".XXXXXX";
    TFd File{::mkstemp(Temporary.data())};
    const auto Fail = [&](const char* AStep) {
        const std::string Reason = std::string(AStep) + ": " + std::strerror(errno);
        if (File.Fd >= 0) {
            ::unlink(Temporary.c_str());
        }
        throw ETargetsFile(APath, 0, Reason);
    };
    if (File.Fd < 0) {
        Fail("cannot create a file beside it");
    }
    // The mode of the file it replaces; a new one is readable by all, as a config file is.
    struct stat Old {};
    const mode_t Mode = ::stat(APath.c_str(), &Old) == 0 ? (Old.st_mode & 07777) : 0644;
    if (::fchmod(File.Fd, Mode) != 0 || !WriteAll(File.Fd, Content)) {
        Fail("cannot write");
    }
    if (::fsync(File.Fd) != 0) {
        Fail("cannot flush");
    }
    if (::rename(Temporary.c_str(), APath.c_str()) != 0) {
        Fail("cannot replace");
    }
    // The rename itself lasts only once the folder is on disk.
    const TFd Folder{::open(FolderOf(APath).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (Folder.Fd >= 0) {
        ::fsync(Folder.Fd);
    }
}

} // namespace zirko::targets
