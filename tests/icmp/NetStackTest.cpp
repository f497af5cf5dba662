// SPDX-License-Identifier: GPL-3.0-or-later
#include "ENetExceptions.h"
#include "TFakeStack.h"
#include "TNetIcmpClient.h"
#include "TNetResponsiveWait.h"
#include "TNetSocketHandle.h"
#include "TNetStackLinux.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <netdb.h>
#include <optional>
#include <sys/socket.h>
#include <vector>

namespace {

class NetStack : public ::testing::Test {
protected:
    TFakeStack::TScript& S() { return Fake.Script; }
    TFakeNet Fake;
    TNetContext& Net = Fake.Net;
};

TEST(IsDottedQuad, CutAtTheDotRule) {
    struct TRow {
        const char* Text;
        bool Expected;
    };
    const std::vector<TRow> Rows{
        {"192.168.1.1", true},     {"192.168.1.1.", true},   {"0.0.0.0", true},
        {"255.255.255.255", true}, {"010.001.0.00", true},   {"192.168.1", false},
        {"192.168.1.1.5", false},  {"192.168.1.1..", false}, {"10.0.0.256", false},
        {"1.2.3", false},          {"1.2.3.4.5", false},     {"", false},
        {"a.b.c.d", false},        {"1..2.3", false},        {"-1.2.3.4", false},
        {" 1.2.3.4", false},       {"1.2.3.4 ", false},      {"99999999999999999999.1.1.1", false},
    };
    for (const auto& R : Rows) {
        EXPECT_EQ(TNetStack::IsDottedQuad(R.Text), R.Expected) << '"' << R.Text << '"';
    }
}

TEST_F(NetStack, ResolveAddressLooksUpOnlyWhatIsNoDottedQuad) {
    struct TRow {
        std::string Host;
        std::string Expected;
        bool LookedUp;
    };
    S().Hosts = {{"192.168.1", "1.1.1.1"},
                 {"192.168.1.1.5", "2.2.2.2"},
                 {"10.0.0.256", "3.3.3.3"},
                 {"", "4.4.4.4"},
                 {"gateway", "10.9.8.7"}};
    const std::vector<TRow> Rows{
        {"LOCALHOST", "127.0.0.1", false},
        {"localhost", "127.0.0.1", false},
        {"LocalHost", "127.0.0.1", false},
        {"192.168.1.1", "192.168.1.1", false},
        {"192.168.1.1.", "192.168.1.1.", false},
        {"192.168.1", "1.1.1.1", true},
        {"192.168.1.1.5", "2.2.2.2", true},
        {"10.0.0.256", "3.3.3.3", true},
        {"", "4.4.4.4", true},
        {"gateway", "10.9.8.7", true},
    };
    TNetIcmpClient Component(Net); // makes the stack
    for (const auto& R : Rows) {
        const int Before = S().Lookups;
        EXPECT_EQ(Net.Stack().ResolveAddress(R.Host), R.Expected) << R.Host;
        EXPECT_EQ(S().Lookups - Before, R.LookedUp ? 1 : 0) << R.Host;
    }
    EXPECT_THROW(Net.Stack().ResolveAddress("1.2.3.4", static_cast<TIPVersion>(7)),
                 ENetIPVersionUnsupported);
}

TEST(AddressText, BothDirections) {
    EXPECT_EQ(TNetStack::AddressToText({10, 0, 200, 7}), "10.0.200.7");
    EXPECT_EQ(TNetStack::AddressToText({0, 0, 0, 0}), "0.0.0.0");
    EXPECT_EQ(TNetStack::TextToAddress("192.168.001.255"),
              (std::array<uint8_t, 4>{192, 168, 1, 255}));
    EXPECT_EQ(TNetStack::TextToAddress("1.2.3.4."), (std::array<uint8_t, 4>{1, 2, 3, 4}));
}

TEST(SocketErrorMessage, TextsAndCodes) {
    const TNetStackLinux Stack;
    struct TRow {
        int32_t Code;
        std::string Text;
    };
    const std::vector<TRow> Rows{
        {10004, "Interrupted system call."},
        {10013, "Access denied."},
        {10038, "Socket operation on non-socket."},
        {10040, "Message too long."},
        {10047, "Address family not supported by protocol family."},
        {10065, "No route to host."},
        {10066, "Directory not empty"},
        {11001, "Host not found."},
        {11002, ""},
        {11004, ""},
        {10999, ""},
        {ENOENT, "No such file or directory"}, // an errno without a row keeps its own text
    };
    for (const auto& R : Rows) {
        EXPECT_EQ(Stack.SocketErrorMessage(R.Code),
                  "Socket Error # " + std::to_string(R.Code) + "\r\n" + R.Text);
    }
}

TEST(SocketErrorMapping, ErrnoAndLookupFailures) {
    // A sample of the table plus the rows that are easy to get wrong: two errnos sharing a
    // code, aliases, and errnos without a row keeping their own number.
    const std::vector<std::pair<int, int32_t>> Errnos{
        {EINTR, 10004},       {EACCES, 10013},       {EPERM, 10013},
        {EAGAIN, 10035},      {EWOULDBLOCK, 10035},  {ENOTSOCK, 10038},
        {EMSGSIZE, 10040},    {EOPNOTSUPP, 10045},   {EAFNOSUPPORT, 10047},
        {ENETUNREACH, 10051}, {EHOSTUNREACH, 10065}, {ENOTEMPTY, 10066},
        {ENOENT, ENOENT},     {ENOMEM, ENOMEM},      {0, 0},
    };
    for (const auto& [Errno, Code] : Errnos) {
        EXPECT_EQ(TNetStackLinux::ErrnoToCode(Errno), Code) << "errno " << Errno;
    }
    const std::vector<std::pair<int, int32_t>> Lookups{
        {EAI_NONAME, 11001}, {EAI_NODATA, 11001}, {EAI_ADDRFAMILY, 11001}, {EAI_AGAIN, 11002},
        {EAI_FAIL, 11003},   {EAI_MEMORY, 11004}, {EAI_SYSTEM, 11004},     {EAI_SERVICE, 11004},
    };
    for (const auto& [Gai, Code] : Lookups) {
        EXPECT_EQ(TNetStackLinux::LookupErrorToCode(Gai), Code) << "EAI " << Gai;
    }
}

TEST(SocketErrorMapping, ThrowSocketErrorPicksTheClass) {
    const TNetStackLinux Stack;
    try {
        Stack.ThrowSocketError(10038);
    } catch (const ENetNotASocket& E) {
        EXPECT_EQ(E.ErrorCode(), 10038);
        EXPECT_STREQ(E.what(), "Socket Error # 10038\r\nSocket operation on non-socket.");
    }
    EXPECT_THROW(Stack.ThrowSocketError(10038), ENetSocketError);
    try {
        Stack.ThrowSocketError(10065);
        ADD_FAILURE() << "no exception";
    } catch (const ENetNotASocket&) {
        ADD_FAILURE() << "only 10038 is ENetNotASocket";
    } catch (const ENetSocketError& E) {
        EXPECT_EQ(E.ErrorCode(), 10065);
    }
}

TEST(SocketErrorMapping, RealLookupOfAnInvalidName) {
    TNetStackLinux Stack;
    try {
        Stack.LookupHostName("no-such-host.invalid");
        ADD_FAILURE() << "lookup succeeded";
    } catch (const ENetSocketError& E) {
        EXPECT_EQ(E.ErrorCode(), 11001);
        EXPECT_STREQ(E.what(), "Socket Error # 11001\r\nHost not found.");
    }
}

TEST(TickDiff, AcrossTheWrap) {
    struct TRow {
        uint32_t Earlier, Later, Expected;
    };
    const std::vector<TRow> Rows{
        {10, 20, 10},        {5, 5, 0},           {0, 4294967295u, 4294967295u},
        {4294967290u, 4, 9}, // wrapped: later + (4294967295 - earlier)
        {4294967295u, 0, 0}, {1, 0, 4294967294u},
    };
    for (const auto& R : Rows) {
        EXPECT_EQ(TClock::TickDiff(R.Earlier, R.Later), R.Expected)
            << R.Earlier << " -> " << R.Later;
    }
}

TEST(TickCount, FollowsTheSteadyClockCutTo32Bits) {
    const TClock& System = TClock::System();
    const uint32_t A = System.TickCount();
    const uint32_t B = System.TickCount();
    EXPECT_LT(TClock::TickDiff(A, B), 1000u);
    TSteppingClock Stepping(CalendarTime(2026, 12, 9, 12, 0, 0));
    Stepping.SetSteadyMs((int64_t{1} << 32) + 42);
    EXPECT_EQ(Stepping.TickCount(), 42u);
}

TEST_F(NetStack, StackLivesWithTheComponents) {
    EXPECT_EQ(Net.ComponentCount(), 0);
    EXPECT_FALSE(Net.HasStack());
    TNetStack* First = nullptr;
    {
        TNetIcmpClient A(Net);
        First = &Net.Stack();
        {
            TNetIcmpClient B(Net);
            EXPECT_EQ(Net.ComponentCount(), 2);
            EXPECT_EQ(&Net.Stack(), First) << "one stack for all components";
            TFakeNet Other;
            TNetIcmpClient C(Other.Net);
            EXPECT_NE(&Other.Net.Stack(), First) << "each context has its own";
        }
        EXPECT_EQ(&Net.Stack(), First);
    }
    EXPECT_EQ(Net.ComponentCount(), 0);
    EXPECT_FALSE(Net.HasStack());
    TNetIcmpClient Again(Net);
    EXPECT_TRUE(Net.HasStack());
}

TEST_F(NetStack, StackSetUpErrors) {
    Net.SetStackClass({});
    try {
        TNetIcmpClient Client(Net);
        ADD_FAILURE() << "made without a stack class";
    } catch (const ENetException& E) {
        EXPECT_STREQ(E.what(), "Stack Class is undefined.");
    }
    EXPECT_EQ(Net.ComponentCount(), 0) << "a failed component is not counted";
    Net.SetStackClass([this] { return std::make_unique<TFakeStack>(S()); });
    Net.AdoptStack(std::make_unique<TFakeStack>(S()));
    try {
        TNetIcmpClient Client(Net);
        ADD_FAILURE() << "made over an existing stack";
    } catch (const ENetException& E) {
        EXPECT_STREQ(E.what(), "Stack already created.");
    }
    Net.AdoptStack(nullptr);
    EXPECT_EQ(Net.ComponentCount(), 0);
    TNetIcmpClient Works(Net);
    EXPECT_EQ(Net.ComponentCount(), 1);
}

TEST(ResponsiveWait, OnePerProgram) {
    TNetContext Net;
    std::optional<TNetResponsiveWait> First(std::in_place, Net);
    EXPECT_TRUE(First->Active());
    EXPECT_TRUE(First->ApplicationHasPriority());
    EXPECT_EQ(First->IdleTimeOut(), 250);
    EXPECT_TRUE(First->OnlyWhenIdle());
    EXPECT_FALSE(First->UseResponsiveWait());
    try {
        TNetResponsiveWait Second(Net);
        ADD_FAILURE() << "a second one was made";
    } catch (const ENetException& E) {
        EXPECT_STREQ(E.what(), "Only one TNetResponsiveWait can exist per application.");
    }
    EXPECT_EQ(Net.ResponsiveWait(), &*First) << "the refused one left no trace";
    First.reset();
    EXPECT_EQ(Net.ResponsiveWait(), nullptr);
    TNetResponsiveWait Later(Net);
    EXPECT_EQ(Net.ResponsiveWait(), &Later);
}

TEST_F(NetStack, SocketHandleWaitsAndSends) {
    TNetIcmpClient Component(Net);
    TNetSocketHandle Handle(Net);
    EXPECT_THROW(Handle.WaitReadable(0), ENetConnClosedGracefully);
    Handle.OpenHandle(SOCK_RAW, IPPROTO_ICMP);
    ASSERT_TRUE(Handle.HasSocket());
    for (int32_t Ms : {0, -2, -5, 1500}) {
        Handle.WaitReadable(Ms);
    }
    EXPECT_EQ(S().PollTimeouts, (std::vector<int>{0, -1, 0, 1500}));

    const std::vector<uint8_t> Bytes(52, 1);
    Handle.SendToAddress("10.1.2.3", 258, Bytes);
    EXPECT_EQ(S().SentTo.back(), "10.1.2.3");
    EXPECT_EQ(S().SentPorts.back(), 258);

    S().FailSend = 10040;
    EXPECT_THROW(Handle.SendToAddress("10.1.2.3", 0, Bytes), ENetPackageSizeTooBig);
    S().FailSend = 10065;
    try {
        Handle.SendToAddress("10.1.2.3", 0, Bytes);
        ADD_FAILURE() << "no exception";
    } catch (const ENetSocketHandleError&) {
        ADD_FAILURE() << "a plain failure is a socket error";
    } catch (const ENetSocketError& E) {
        EXPECT_EQ(E.ErrorCode(), 10065);
    }
    S().FailSend = 0;
    S().SendShortBy = 1;
    try {
        Handle.SendToAddress("10.1.2.3", 0, Bytes);
        ADD_FAILURE() << "no exception";
    } catch (const ENetNotAllBytesSent& E) {
        EXPECT_STREQ(E.what(), "Not all bytes sent.");
    }
    EXPECT_TRUE(Handle.HasSocket()) << "a failed send leaves the socket open";
    Handle.ReleaseSocket();
    EXPECT_FALSE(Handle.HasSocket());
    EXPECT_EQ(S().Closed, 1);
    EXPECT_EQ(S().Shutdowns.size(), 1u);
    Handle.ReleaseSocket();
    EXPECT_EQ(S().Closed, 1) << "released once only";
}

TEST(SocketHandle, PollOnceOnARealSocket) {
    TNetContext Net; // real Linux stack
    TNetIcmpClient Component(Net);
    TNetSocketHandle Handle(Net);
    Handle.OpenHandle(SOCK_DGRAM, IPPROTO_UDP);
    const uint32_t Start = Net.Clock().TickCount();
    EXPECT_FALSE(Handle.WaitReadable(0));
    EXPECT_LT(TClock::TickDiff(Start, Net.Clock().TickCount()), 50u);
}

TEST(SocketList, BoundedAndUnique) {
    TNetSocketList List;
    EXPECT_TRUE(List.Add(3));
    EXPECT_FALSE(List.Add(3));
    for (int I = 0; I < 70; ++I) {
        List.Add(100 + I);
    }
    EXPECT_EQ(List.Count(), TNetSocketList::MaxCount);
    List.Remove(3);
    EXPECT_EQ(List.Count(), TNetSocketList::MaxCount - 1);
    EXPECT_TRUE(List.Add(500));
    List.Clear();
    EXPECT_TRUE(List.Snapshot().empty());
}

} // namespace
