// SPDX-License-Identifier: GPL-3.0-or-later
#include "TZirkoOptions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(ZirkoOptions, GoodAndBadCommandLines) {
    struct TCase {
        std::vector<const char*> Args;
        const char* Error; // "" when the line is good
        const char* Shows; // the options it gives, when good
    };
    const TCase Cases[] = {
        {{}, "", "host= auto=0 1/5/250/10 min=0 headless=0 metrics= textfile="},
        {{"-platform", "offscreen", "--style=fusion", "--display", ":1", "stray"},
         "",
         "host= auto=0 1/5/250/10 min=0 headless=0 metrics= textfile="},
        {{"-platform", "offscreen", "--unknown"}, "zirko: unknown option '--unknown'", ""},
        {{"--headless", "-platform", "offscreen"}, "zirko: unknown option '-platform'", ""},
        {{"--confg", "f.yml", "--headless"}, "zirko: unknown option '--confg'", ""},
        {{"--headless", "stray"}, "zirko: unexpected argument 'stray'", ""},
        {{"--host", "a", "--config=t.yml", "--host", "b"},
         "",
         "host=b auto=0 1/5/250/10 min=0 headless=0 metrics= textfile= hosts=a,b config=t.yml"},
        {{"--host", "a", "--host", " "}, "zirko: --host needs a host name or address", ""},
        {{"--config"}, "zirko: --config needs a value", ""},
        {{"--host", "router.lan", "--auto", "--run-minutes", "60", "--every-minutes=1",
          "--limit-ms", "10000", "--alarm-after", "1000", "--minimized"},
         "",
         "host=router.lan auto=1 60/1/10000/1000 min=1 headless=0 metrics= textfile="},
        {{"--headless", "--metrics", ":9374", "--metrics-textfile", "/tmp/t"},
         "",
         "host= auto=0 1/5/250/10 min=0 headless=1 metrics=:9374 textfile=/tmp/t"},
        {{"--", "--run-minutes", "0"},
         "",
         "host= auto=0 1/5/250/10 min=0 headless=0 metrics= textfile="},
        {{"--run-minutes", "0"},
         "zirko: --run-minutes needs a whole number from 1 to 60, not '0'",
         ""},
        {{"--every-minutes", "61"},
         "zirko: --every-minutes needs a whole number from 1 to 60, not '61'",
         ""},
        {{"--limit-ms", "9"},
         "zirko: --limit-ms needs a whole number from 10 to 10000, not '9'",
         ""},
        {{"--alarm-after", "2x"},
         "zirko: --alarm-after needs a whole number from 1 to 1000, not '2x'",
         ""},
        {{"--alarm-after"}, "zirko: --alarm-after needs a whole number from 1 to 1000", ""},
        {{"--host"}, "zirko: --host needs a value", ""},
        {{"--host", " "}, "zirko: --host needs a host name or address", ""},
        {{"--metrics", "127.0.0.1:0"},
         "zirko: --metrics needs ADDRESS:PORT with a port from 1 to 65535, not '127.0.0.1:0'",
         ""},
        {{"--metrics=[::1]:x"},
         "zirko: --metrics needs ADDRESS:PORT with a port from 1 to 65535, not '[::1]:x'",
         ""},
    };
    for (const TCase& C : Cases) {
        std::vector<const char*> Argv{"zirko"};
        Argv.insert(Argv.end(), C.Args.begin(), C.Args.end());
        const TParsedCommandLine P = ParseZirkoOptions(int(Argv.size()), Argv.data());
        const std::string Line = Argv.size() > 1 ? Argv[1] : "(none)";
        if (*C.Error != '\0') {
            EXPECT_FALSE(P.Options) << Line;
            EXPECT_EQ(P.ExitCode, 2) << Line;
            EXPECT_EQ(P.Error, std::string(C.Error) + " (see zirko --help)") << Line;
            continue;
        }
        ASSERT_TRUE(P.Options) << Line << ": " << P.Error;
        const TZirkoOptions& O = *P.Options;
        const std::string Shown =
            "host=" + O.Host.value_or("") + " auto=" + std::to_string(O.Auto) + " " +
            std::to_string(O.RunMinutesOr()) + "/" + std::to_string(O.EveryMinutesOr()) + "/" +
            std::to_string(O.LimitMsOr()) + "/" + std::to_string(O.AlarmAfterOr()) +
            " min=" + std::to_string(O.Minimized) + " headless=" + std::to_string(O.Headless) +
            " metrics=" + O.Metrics.value_or("") + " textfile=" + O.MetricsTextfile.value_or("") +
            (O.Hosts.size() > 1 ? " hosts=" + O.Hosts[0] + "," + O.Hosts[1] : "") +
            (O.Config ? " config=" + *O.Config : "");
        EXPECT_EQ(Shown, C.Shows) << Line;
    }
    std::string Address;
    int Port = 0;
    for (const auto& [Value, Host, Number] : {std::tuple{"9374", "127.0.0.1", 9374},
                                              {":80", "127.0.0.1", 80},
                                              {"0.0.0.0:9374", "0.0.0.0", 9374},
                                              {"[::1]:9", "::1", 9}}) {
        ASSERT_TRUE(SplitMetricsAddress(Value, Address, Port)) << Value;
        EXPECT_EQ(std::make_pair(Address, Port), std::make_pair(std::string(Host), Number));
    }
}

} // namespace
