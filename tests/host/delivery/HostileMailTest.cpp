// What people and tasks give a mail, hostile or merely long, through the address parser, the
// header builder and a real mail server: no field, recipient or SMTP command is ever added, and
// long headers are folded so the server takes them and readers get them back whole.
#include "platform/host/delivery/SmtpTransport.h"
#include "tests/host/delivery/SmtpTestServer.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <map>
#include <sstream>

namespace {

using namespace morvid::test;

enum class TVerdict { RefusedByParser, RefusedByBuilder, Sent };

struct THostileMail {
    const char* Name;
    std::string To;        // as typed, through the parser
    host::TMailAddress Cc; // made past the parser; no AddrSpec: none
    std::string Subject;   // as a task's template gave it
    std::string MessageId; // empty: a new one
    TVerdict Verdict;
    std::vector<std::string> EnvelopeTo{}; // when sent
    std::string SubjectRead{};             // what a reader sees, blanks collapsed
};

std::string Repeated(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += text;
    }
    return out;
}

void PrintTo(const THostileMail& c, std::ostream* out) {
    *out << c.Name;
}

// The header fields of a received mail, unfolded, and the longest line of those the mail's
// writer made (libcurl writes the MIME fields).
std::vector<std::string> HeaderFields(const std::string& raw, std::size_t& longestLine) {
    std::vector<std::string> fields;
    longestLine = 0;
    std::istringstream in(raw);
    for (std::string line; std::getline(in, line) && line != "\r";) {
        line.pop_back(); // the CR
        const bool folded = line.front() == ' ' || line.front() == '\t';
        if (!folded) {
            fields.push_back({});
        }
        fields.back() += line;
        if (!fields.back().starts_with("Content-Type:")) {
            longestLine = std::max(longestLine, line.size());
        }
    }
    return fields;
}

class HostileMailTest : public testing::TestWithParam<THostileMail> {};

TEST_P(HostileMailTest, NothingIsAddedAndLongHeadersArriveWhole) {
    const THostileMail& c = GetParam();
    TTempDir dir("morvid-hostile");
    const TSmtpTestServer server(FreeLoopbackPort(), dir.Path(), {.Security = "none"});
    host::TMailMessage mail;
    mail.From = {"Reports", "reports@example.org"};
    try {
        mail.To = host::ParseMailAddressList(c.To);
    } catch (const host::EMailAddressError& e) {
        EXPECT_EQ(c.Verdict, TVerdict::RefusedByParser) << e.what();
        return;
    }
    if (!c.Cc.AddrSpec.empty()) {
        mail.Cc = {c.Cc};
    }
    mail.Subject = c.Subject;
    mail.MessageId = c.MessageId.empty() ? host::NewMessageId("reports@example.org") : c.MessageId;
    mail.Date = 1'800'000'000;
    host::TSmtpServer settings;
    settings.Host = "127.0.0.1";
    settings.Port = server.Port();
    settings.Security = host::TMailSecurity::None;

    const host::TSendResult result = host::SendMail(settings, mail);

    if (c.Verdict != TVerdict::Sent) {
        EXPECT_EQ(c.Verdict, TVerdict::RefusedByBuilder);
        EXPECT_EQ(result.Status, host::TSendStatus::Permanent);
        EXPECT_NE(result.Reason.find("Cannot prepare the mail"), std::string::npos)
            << result.Reason;
        EXPECT_EQ(result.Reason.find_first_of("\r\n"), std::string::npos) << result.Reason;
        EXPECT_TRUE(server.Received().empty());
        return;
    }
    ASSERT_EQ(result.Status, host::TSendStatus::Sent) << result.Reason;
    const std::vector<TReceivedMail> received = server.Received();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(Values(received[0], "envelope-to"), c.EnvelopeTo);
    EXPECT_EQ(Value(received[0], "subject"), c.SubjectRead);
    std::size_t longest = 0;
    const std::vector<std::string> fields = HeaderFields(ReadFile(dir.File("1.eml")), longest);
    EXPECT_LE(longest, 78u);
    std::map<std::string, int> names;
    for (const std::string& field : fields) {
        ++names[field.substr(0, field.find(':'))];
        if (field.starts_with("Subject: ") && field.find("=?") == std::string::npos &&
            c.Subject == c.SubjectRead) {
            EXPECT_EQ(field, "Subject: " + c.Subject) << "unfolded, the text as it was";
        }
    }
    std::map<std::string, int> expected{{"Date", 1},        {"From", 1},       {"To", 1},
                                        {"Subject", 1},     {"Message-ID", 1}, {"Mime-Version", 1},
                                        {"Content-Type", 1}};
    if (!c.Cc.AddrSpec.empty()) {
        expected["Cc"] = 1;
    }
    EXPECT_EQ(names, expected);
}

const std::string LongAscii = Repeated("Nightly door report ", 60) + "end";
const std::string LongWord(1200, 'x');
const std::string LongUtf8 = Repeated("Türen März ", 100) + "Ende";

INSTANTIATE_TEST_SUITE_P(
    Mails, HostileMailTest,
    testing::Values(THostileMail{"SubjectCrLf",
                                 "ops@example.org",
                                 {},
                                 "Doors\r\nBcc: evil@example.org",
                                 "",
                                 TVerdict::Sent,
                                 {"ops@example.org"},
                                 "Doors Bcc: evil@example.org"},
                    THostileMail{"SubjectBareLf",
                                 "ops@example.org",
                                 {},
                                 "Doors\nX-Injected: yes",
                                 "",
                                 TVerdict::Sent,
                                 {"ops@example.org"},
                                 "Doors X-Injected: yes"},
                    THostileMail{"SubjectNul",
                                 "ops@example.org",
                                 {},
                                 std::string("Doors\0Bcc: evil@example.org", 27),
                                 "",
                                 TVerdict::Sent,
                                 {"ops@example.org"},
                                 "Doors Bcc: evil@example.org"},
                    THostileMail{"NamePastTheParser",
                                 "ops@example.org",
                                 {"Ann\r\nBcc: evil@example.org", "ann@example.org"},
                                 "Doors",
                                 "",
                                 TVerdict::Sent,
                                 {"ops@example.org", "ann@example.org"},
                                 "Doors"},
                    THostileMail{"EscapedCrLfInAQuotedLocalPart",
                                 "\"a\\\r\\\nRCPT TO:<evil@example.org>\"@example.org",
                                 {},
                                 "Doors",
                                 "",
                                 TVerdict::RefusedByParser},
                    THostileMail{"EscapedCrLfInAQuotedName",
                                 "\"Ann\\\r\\\nBcc: evil@example.org\" <ann@example.org>",
                                 {},
                                 "Doors",
                                 "",
                                 TVerdict::RefusedByParser},
                    THostileMail{"AddressPastTheParser",
                                 "ops@example.org",
                                 {"", "ann@example.org>\r\nRCPT TO:<evil@example.org"},
                                 "Doors",
                                 "",
                                 TVerdict::RefusedByBuilder},
                    THostileMail{"MessageIdWithCrLf",
                                 "ops@example.org",
                                 {},
                                 "Doors",
                                 "<1.morvid@example.org>\r\nBcc: evil@example.org",
                                 TVerdict::RefusedByBuilder},
                    THostileMail{"LongAsciiSubject",
                                 "ops@example.org",
                                 {},
                                 LongAscii,
                                 "",
                                 TVerdict::Sent,
                                 {"ops@example.org"},
                                 LongAscii},
                    THostileMail{"LongWord",
                                 "ops@example.org",
                                 {},
                                 LongWord,
                                 "",
                                 TVerdict::Sent,
                                 {"ops@example.org"},
                                 LongWord},
                    THostileMail{"LongNonAsciiSubject",
                                 "ops@example.org",
                                 {},
                                 LongUtf8,
                                 "",
                                 TVerdict::Sent,
                                 {"ops@example.org"},
                                 LongUtf8},
                    THostileMail{"LongName",
                                 "ops@example.org",
                                 {Repeated("Night shift ", 90), "ann@example.org"},
                                 "Doors",
                                 "",
                                 TVerdict::Sent,
                                 {"ops@example.org", "ann@example.org"},
                                 "Doors"}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
