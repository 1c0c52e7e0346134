// Hostile or long mail fields through the parser, the header builder and a real mail server: no
// field, recipient or SMTP command is added, and long headers arrive folded and whole.
#include "platform/host/delivery/SmtpTransport.h"
#include "tests/host/delivery/SmtpTestServer.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <map>
#include <sstream>

namespace {

using namespace morvid::test;

struct THostileMail {
    const char* Name;
    std::string To;                     // as typed: through the parser
    std::vector<host::TMailAddress> Cc; // made past the parser
    std::string Subject;
    std::string MessageId;
    std::string Read; // the subject a reader sees; "parser" or "builder": refused there
};

std::string Repeated(const std::string& text, int times) {
    return times == 0 ? std::string() : text + Repeated(text, times - 1);
}

const std::string Evil = "Bcc: evil@example.org", LongAscii = Repeated("Night door report ", 60),
                  LongUtf8 = Repeated("Türen März ", 100) + "Ende",
                  LongPath = std::string(64, 'a') + "@" + std::string(186, 'b') + ".org",
                  Rcpt = "a@x.org>\r\nRCPT TO:<evil@x.org";

const THostileMail Mails[] = {
    {"SubjectCrLf", "ops@x.org", {}, "Doors\r\n" + Evil, "", "Doors " + Evil},
    {"SubjectNul", "ops@x.org", {}, std::string("Doors\0", 6) + Evil, "", "Doors " + Evil},
    {"NamePastTheParser", "ops@x.org", {{"Ann\r\n" + Evil, "ann@x.org"}}, "Doors", "", "Doors"},
    {"EscapedCrLfInALocalPart", "\"a\\\r\\\nRCPT TO:<evil@x.org>\"@x.org", {}, "", "", "parser"},
    {"EscapedLfInAName", "\"Ann\\\n" + Evil + "\" <ann@x.org>", {}, "", "", "parser"},
    {"NulInQuotes", std::string("\"a\0b\"@x.org", 11), {}, "", "", "parser"},
    {"OverTheLongestPath", LongPath, {}, "", "", "parser"},
    {"AddressPastTheParser", "ops@x.org", {{"", Rcpt}}, "", "", "builder"},
    {"MessageIdWithCrLf", "ops@x.org", {}, "Doors", "<1.m@x.org>\r\n" + Evil, "builder"},
    {"LongAsciiSubject", "ops@x.org", {}, LongAscii + "end", "", LongAscii + "end"},
    {"LongWordSubject", "ops@x.org", {}, std::string(1200, 'w'), "", std::string(1200, 'w')},
    {"LongNonAsciiSubject", "ops@x.org", {}, LongUtf8, "", LongUtf8},
};

TEST(HostileMailTest, NothingIsAddedAndLongHeadersArriveWhole) {
    TTempDir dir("morvid-hostile");
    const TSmtpTestServer server(FreeLoopbackPort(), dir.Path(), {.Security = "none"});
    host::TSmtpServer settings;
    settings.Host = "127.0.0.1";
    settings.Port = server.Port();
    settings.Security = host::TMailSecurity::None;
    std::size_t sent = 0;
    for (const THostileMail& c : Mails) {
        SCOPED_TRACE(c.Name);
        host::TMailMessage mail;
        mail.From = {"Reports", "reports@x.org"};
        mail.Subject = c.Subject;
        mail.MessageId = c.MessageId.empty() ? host::NewMessageId("reports@x.org") : c.MessageId;
        try {
            mail.To = host::ParseMailAddressList(c.To);
        } catch (const host::EMailAddressError& e) {
            EXPECT_EQ(c.Read, "parser") << e.what();
            continue;
        }
        mail.Cc = c.Cc;
        const host::TSendResult result = host::SendMail(settings, mail);
        if (c.Read == "builder") {
            EXPECT_EQ(result.Reason.rfind("Cannot prepare the mail", 0), 0u) << result.Reason;
            EXPECT_EQ(server.Received().size(), sent);
            continue;
        }
        ASSERT_EQ(result.Status, host::TSendStatus::Sent) << result.Reason;
        const TReceivedMail got = server.Received().at(sent++);
        EXPECT_EQ(Values(got, "envelope-to").size(), mail.Recipients().size());
        EXPECT_EQ(Value(got, "subject"), c.Read);
        // Each field once, none added; lines within 78 (but libcurl's); a plain subject unfolds
        // whole.
        std::map<std::string, int> names;
        std::string name, subject;
        std::istringstream raw(ReadFile(dir.File(std::to_string(sent) + ".eml")));
        for (std::string line; std::getline(raw, line) && line != "\r";) {
            line.pop_back();
            if (line.front() != ' ') {
                ++names[name = line.substr(0, line.find(':'))];
            }
            EXPECT_TRUE(line.size() <= 78 || name == "Content-Type") << line;
            subject += name == "Subject" ? line : "";
        }
        EXPECT_EQ(names.size(), c.Cc.empty() ? 7u : 8u); // 5 of ours, 2 of libcurl's
        for (const auto& [field, count] : names) {
            EXPECT_EQ(count, 1) << field;
        }
        if (subject.find("=?") == std::string::npos && c.Subject == c.Read) {
            EXPECT_EQ(subject, "Subject: " + c.Read);
        }
    }
}

} // namespace
