// The mail parts of the user interface driven through their widgets: the editor's delivery area
// checking addresses, and the "Mail server" dialog refusing, storing and sending a test mail to
// a real mail server.
#include "platform/host/mail/MailServerLink.h"
#include "tasks/ScheduleItem.h"
#include "tests/host/delivery/SmtpTestServer.h"
#include "tests/support/TempDir.h"
#include "tests/ui/UiTestHost.h"
#include "ui/DLGMailServer.h"
#include "ui/DLGScheduleEditor.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <gtest/gtest.h>

namespace uitest {
namespace {

using morvid::TDLGMailServer;
using morvid::TDLGScheduleEditor;
using morvid::TScheduleItem;

template <class T> T* Find(const QWidget& top, const char* name) {
    T* widget = top.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

// Recipients as typed into the editor, and what Ok makes of them.
struct TAddressCase {
    const char* Name;
    int When; // the "Send by mail" choice, as stored
    const char *To, *Cc, *Bcc;
    const char* Refusal;   // how Ok's message starts; empty: Ok closes the dialog
    const char* ShowsIcon; // the field whose error icon shows while typed; empty: none
};

class DeliveryAreaTest : public TUiTest, public ::testing::WithParamInterface<TAddressCase> {};

TEST_P(DeliveryAreaTest, AddressesAreCheckedAsTypedAndOkRefusesABadOneByName) {
    const TAddressCase& c = GetParam();
    TDLGScheduleEditor dialog;
    TScheduleItem task(nullptr);
    task.SetName("Daily");
    task.SetReportId(12);
    task.SetExportPath("/tmp");
    task.SetFilter(FirstFilter());
    task.SetCronStr("0 8 * * * *");
    dialog.LoadFromTask(task);
    Find<QComboBox>(dialog, "cbbMailWhen")->setCurrentIndex(c.When);
    for (const auto& [name, text] :
         {std::pair{"edtMailTo", c.To}, {"edtMailCc", c.Cc}, {"edtMailBcc", c.Bcc}}) {
        QLineEdit* field = Find<QLineEdit>(dialog, name);
        field->setText(QString::fromUtf8(text));
        const auto* icon = field->findChild<QAction*>(QString::fromLatin1(name) + "Error");
        EXPECT_EQ(field->actions().contains(icon), std::string(name) == c.ShowsIcon) << name;
    }

    Answerer.OnDialog = [](host::TDialogBase&) { return host::TDialogAnswer::Accept; };
    EXPECT_EQ(dialog.Execute(nullptr), *c.Refusal == '\0');
    if (*c.Refusal != '\0') {
        ASSERT_EQ(Answerer.Requests.size(), 2u);
        EXPECT_EQ(Answerer.Requests[1].Text.rfind(c.Refusal, 0), 0u) << Answerer.Requests[1].Text;
        return;
    }
    TScheduleItem saved(nullptr);
    dialog.SaveToTask(saved);
    EXPECT_EQ(saved.MailWhen, c.When);
    EXPECT_EQ(saved.MailTo, c.To);
    EXPECT_EQ(saved.MailBcc, c.Bcc);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DeliveryAreaTest,
    ::testing::Values(TAddressCase{"DisplayNames", 1,
                                   "Ops Team <ops@example.org>, \"Smith, Ann\" <a@example.org>", "",
                                   "audit@example.org", "", ""},
                      TAddressCase{"NonAsciiName", 3, "Jürgen Möller <jm@example.de>", "", "", "",
                                   ""},
                      TAddressCase{"BadTo", 3, "ops@example.org, ops at example.org", "", "",
                                   "To: \"ops at example.org\" is not a mail address", "edtMailTo"},
                      TAddressCase{"BadBcc", 2, "ops@example.org", "", "a@b@example.org",
                                   "Bcc: \"a@b@example.org\" is not a mail address", "edtMailBcc"},
                      TAddressCase{"Nobody", 1, "", "", "", "Mail needs a recipient", ""},
                      // Without mail the fields are hidden and not held against Ok.
                      TAddressCase{"NoMail", 0, "not yet", "", "", "", "edtMailTo"}),
    [](const auto& info) { return std::string(info.param.Name); });

// The dialog over a link that records what Ok stores; the client's password is `secret`.
class MailServerTest : public TUiTest {
protected:
    MailServerTest() {
        Link.OnRead = [this] { return Stored; };
        Link.OnApply = [this](const host::TMailSettings& settings) {
            Stored = settings;
            ++Applied;
        };
        Link.OnPassword = [] { return std::optional<std::string>("secret"); };
        Stored.Server.Host = "mail.example.org";
    }
    // Server, security (its item), port, user, sender, CA file.
    void Fill(TDLGMailServer& dialog, const char* server, int security, int port, const char* user,
              const char* from, const std::string& caFile = {}) {
        Find<QLineEdit>(dialog, "edtMailServer")->setText(QString::fromUtf8(server));
        Find<QComboBox>(dialog, "cbbMailSecurity")->setCurrentIndex(security);
        Find<QSpinBox>(dialog, "sedMailPort")->setValue(port);
        Find<QLineEdit>(dialog, "edtMailUser")->setText(QString::fromUtf8(user));
        Find<QLineEdit>(dialog, "edtMailFrom")->setText(QString::fromUtf8(from));
        Find<QLineEdit>(dialog, "edtMailCaFile")->setText(QString::fromStdString(caFile));
    }

    host::TMailServerLink Link;
    host::TMailSettings Stored;
    int Applied = 0;
};

// ctest runs this at 100, 125 and 150 %.
TEST_F(MailServerTest, NoTextIsCutAtTheSmallestSize) {
    TDLGMailServer dialog(Link);
    ASSERT_TRUE(ShowActive(dialog));
    dialog.resize(100, 100);
    QCoreApplication::processEvents();
    EXPECT_EQ(CutTexts(dialog), std::vector<std::string>{});
}

// What Ok stores, and what it refuses with a message while the dialog stays open.
struct TServerCase {
    const char* Name;
    const char* Server;
    int Security; // STARTTLS, TLS, none
    const char* From;
    const char* Refusal; // how the message starts; empty: stored
};

class MailServerOkTest : public MailServerTest,
                         public ::testing::WithParamInterface<TServerCase> {};

TEST_P(MailServerOkTest, OkStoresUsableSettingsThroughTheLinkAndRefusesOthers) {
    const TServerCase& c = GetParam();
    TDLGMailServer dialog(Link);
    Fill(dialog, c.Server, c.Security, 2525, "", c.From);
    Answerer.OnDialog = [](host::TDialogBase&) { return host::TDialogAnswer::Accept; };

    const bool stored = *c.Refusal == '\0';
    EXPECT_EQ(dialog.Execute(nullptr), stored);
    EXPECT_EQ(Applied, stored ? 1 : 0);
    ASSERT_EQ(Answerer.Requests.size(), stored ? 1u : 2u);
    if (!stored) {
        EXPECT_EQ(Answerer.Requests[1].Text.rfind(c.Refusal, 0), 0u) << Answerer.Requests[1].Text;
        return;
    }
    EXPECT_EQ(Stored.Server.Host, c.Server);
    EXPECT_EQ(static_cast<int>(Stored.Server.Security), c.Security);
    EXPECT_EQ(Stored.Server.Port, 2525);
    EXPECT_EQ(Stored.From, c.From);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MailServerOkTest,
    ::testing::Values(
        TServerCase{"StartTls", "mail.example.org", 0, "Reports <reports@example.org>", ""},
        TServerCase{"PlainToThisMachine", "localhost", 2, "reports@example.org", ""},
        TServerCase{"PlainToAnotherMachine", "mail.example.org", 2, "reports@example.org",
                    "Mail to \"mail.example.org\" must be encrypted"},
        TServerCase{"SenderNoAddress", "mail.example.org", 1, "Reports",
                    "Sender: \"Reports\" is not a mail address"}),
    [](const auto& info) { return std::string(info.param.Name); });

// A test mail through the real transport to a real server with STARTTLS and a password; the
// dialog answers while it is sent, and shows the result or the server's reply.
struct TTestMailCase {
    const char* Name;
    const char* Typed; // the password typed; empty: the client's
    const char* Result;
};

class TestMailTest : public MailServerTest, public ::testing::WithParamInterface<TTestMailCase> {};

TEST_P(TestMailTest, ATestMailGoesOutInAThreadAndTheDialogShowsHowItWent) {
    morvid::test::TTempDir dir("morvid-mail");
    const morvid::test::TSmtpTestServer server(morvid::test::FreeLoopbackPort(), dir.Path(),
                                               {.User = "morvid:secret"});
    // The client holds the password of this user on this server.
    Stored.Server.Host = "127.0.0.1";
    Stored.Server.User = "morvid";
    TDLGMailServer dialog(Link);
    Fill(dialog, "127.0.0.1", 0, server.Port(), "morvid", "Reports <reports@example.org>",
         server.CaFile());
    Find<QLineEdit>(dialog, "edtMailPassword")->setText(QString::fromUtf8(GetParam().Typed));
    ASSERT_TRUE(ShowActive(dialog));

    Find<QPushButton>(dialog, "btnTestMail")->click();
    // The result comes through the event loop, so the window is still the user's meanwhile.
    EXPECT_TRUE(dialog.TestMailRunning());
    EXPECT_FALSE(Find<QPushButton>(dialog, "btnTestMail")->isEnabled());
    EXPECT_TRUE(Find<QProgressBar>(dialog, "pbTestMail")->isVisible());
    ASSERT_TRUE(WaitFor([&] { return !dialog.TestMailRunning(); }));

    const std::string result = Find<QLabel>(dialog, "lblTestResult")->text().toStdString();
    EXPECT_EQ(result.rfind(GetParam().Result, 0), 0u) << result;
    EXPECT_TRUE(Find<QPushButton>(dialog, "btnTestMail")->isEnabled());
    EXPECT_FALSE(Find<QProgressBar>(dialog, "pbTestMail")->isVisible());
    const auto received = server.Received();
    if (std::string(GetParam().Result).starts_with("Test mail sent")) {
        ASSERT_EQ(received.size(), 1u);
        EXPECT_EQ(morvid::test::Values(received[0], "envelope-to"),
                  std::vector<std::string>{"reports@example.org"});
        EXPECT_EQ(morvid::test::Value(received[0], "subject"),
                  "Test mail from the report scheduler");
    } else {
        EXPECT_TRUE(received.empty());
    }
    EXPECT_EQ(Applied, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TestMailTest,
    ::testing::Values(TTestMailCase{"TypedPassword", "secret",
                                    "Test mail sent to reports@example.org"},
                      TTestMailCase{"ClientsPassword", "", "Test mail sent to reports@example.org"},
                      TTestMailCase{"WrongPassword", "guess", "Not sent: 535"}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace uitest
