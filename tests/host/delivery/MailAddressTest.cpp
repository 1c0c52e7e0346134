#include "platform/host/delivery/MailAddress.h"

#include "platform/host/delivery/Outbox.h"

#include <gtest/gtest.h>

namespace {

using host::TMailAddress;

struct TAddressCase {
    const char* Text;
    bool Valid;
    TMailAddress Parsed;
};

class MailAddressTest : public testing::TestWithParam<TAddressCase> {};

TEST_P(MailAddressTest, ParsesWhatTheGrammarAllowsAndNamesWhatItRefuses) {
    const TAddressCase& c = GetParam();
    if (c.Valid) {
        EXPECT_EQ(host::ParseMailAddress(c.Text), c.Parsed);
    } else {
        try {
            host::ParseMailAddress(c.Text);
            FAIL() << "accepted " << c.Text;
        } catch (const host::EMailAddressError& e) {
            EXPECT_NE(std::string(e.what()).find(c.Text), std::string::npos) << e.what();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Mailboxes, MailAddressTest,
    testing::Values(
        TAddressCase{"ops@example.org", true, {"", "ops@example.org"}},
        TAddressCase{
            "  first.last+tag@mail.example.org ", true, {"", "first.last+tag@mail.example.org"}},
        TAddressCase{"Night Shift <night@example.org>", true, {"Night Shift", "night@example.org"}},
        TAddressCase{"\"Smith, Ann\" <ann@example.org>", true, {"Smith, Ann", "ann@example.org"}},
        TAddressCase{"Jürgen Möller <jm@example.de>", true, {"Jürgen Möller", "jm@example.de"}},
        TAddressCase{"<bare@example.org>", true, {"", "bare@example.org"}},
        TAddressCase{"\"john doe\"@example.org", true, {"", "\"john doe\"@example.org"}},
        TAddressCase{"root@[127.0.0.1]", true, {"", "root@[127.0.0.1]"}},
        TAddressCase{"user@localhost", true, {"", "user@localhost"}}, TAddressCase{"", false, {}},
        TAddressCase{"plainname", false, {}}, TAddressCase{"two@@example.org", false, {}},
        TAddressCase{".dot@example.org", false, {}}, TAddressCase{"dot.@example.org", false, {}},
        TAddressCase{"a..b@example.org", false, {}}, TAddressCase{"a@example..org", false, {}},
        TAddressCase{"a b@example.org", false, {}},
        TAddressCase{"Smith, Ann <ann@example.org>", false, {}},
        TAddressCase{"Ann <ann@example.org", false, {}},
        TAddressCase{"Ann <ann@example.org> x", false, {}},
        TAddressCase{"\"open@example.org", false, {}},
        TAddressCase{"jörg@example.org", false, {}}));

TEST(MailAddressListTest, SplitsOnCommasOutsideQuotesAndBrackets) {
    const auto list =
        host::ParseMailAddressList("a@x.org, \"Smith, Ann\" <ann@x.org>,, \"b,c\"@x.org  ");
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[1].DisplayName, "Smith, Ann");
    EXPECT_EQ(list[2].AddrSpec, "\"b,c\"@x.org");
    EXPECT_THROW(host::ParseMailAddressList("a@x.org, \"unclosed, b@x.org"),
                 host::EMailAddressError);
    EXPECT_TRUE(host::ParseMailAddressList(" , ").empty());
}

struct TRetryCase {
    int Attempts;
    std::int64_t SinceCreated; // seconds from the mail's writing to the failed attempt
    std::optional<std::int64_t> Wait;
};

class RetryPolicyTest : public testing::TestWithParam<TRetryCase> {};

TEST_P(RetryPolicyTest, WaitsGrowThenHourlyForADay) {
    const TRetryCase& c = GetParam();
    const std::int64_t created = 1'000'000;
    const auto next =
        host::TRetryPolicy{}.NextAttempt(c.Attempts, created, created + c.SinceCreated);
    if (c.Wait) {
        EXPECT_EQ(next, created + c.SinceCreated + *c.Wait);
    } else {
        EXPECT_EQ(next, std::nullopt);
    }
}

INSTANTIATE_TEST_SUITE_P(Waits, RetryPolicyTest,
                         testing::Values(TRetryCase{1, 0, 60}, TRetryCase{2, 60, 300},
                                         TRetryCase{3, 360, 900}, TRetryCase{4, 1260, 3600},
                                         TRetryCase{5, 4860, 3600}, TRetryCase{20, 80000, 3600},
                                         TRetryCase{21, 82800, 3600},
                                         TRetryCase{22, 82801, std::nullopt}));

} // namespace
