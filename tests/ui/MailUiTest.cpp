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
#include <cstring>
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

// Presses Ok; the dialog closes, or stays with a message that starts with `refusal`.
void PressOk(host::TModalAnswerer& answerer, host::TDialogBase& dialog, const char* refusal) {
    answerer.OnDialog = [](host::TDialogBase&) { return host::TDialogAnswer::Accept; };
    EXPECT_EQ(dialog.Execute(nullptr), *refusal == '\0');
    const std::string told = answerer.Requests.size() > 1 ? answerer.Requests[1].Text : "";
    EXPECT_EQ(told.substr(0, std::strlen(refusal)), refusal) << told;
}

// Recipients as typed into the editor, and what Ok makes of them.
struct TAddressCase {
    const char* Name;
    int When; // the "Send by mail" choice, as stored
    const char *To, *Bcc;
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
    task.MailWhen = c.When;
    task.MailTo = c.To;
    task.MailBcc = c.Bcc;
    dialog.LoadFromTask(task);
    for (const char* name : {"edtMailTo", "edtMailBcc"}) {
        const auto* field = Find<QLineEdit>(dialog, name);
        const auto* icon = field->findChild<QAction*>(QString::fromLatin1(name) + "Error");
        EXPECT_EQ(field->actions().contains(icon), std::string(name) == c.ShowsIcon) << name;
    }
    PressOk(Answerer, dialog, c.Refusal);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DeliveryAreaTest,
    ::testing::Values(TAddressCase{"DisplayNames", 1,
                                   "Ops Team <ops@example.org>, \"Smith, Ann\" <a@example.org>",
                                   "Jürgen Möller <jm@example.de>", "", ""},
                      TAddressCase{"BadTo", 3, "ops@example.org, ops at example.org", "",
                                   "To: \"ops at example.org\" is not a mail address", "edtMailTo"},
                      TAddressCase{"BadBcc", 2, "ops@example.org", "a@b@example.org",
                                   "Bcc: \"a@b@example.org\" is not a mail address", "edtMailBcc"},
                      TAddressCase{"Nobody", 1, "", "", "Mail needs a recipient", ""},
                      // Commas alone are no address either, as for the task interface.
                      TAddressCase{"OnlyCommas", 1, " , ", ",", "Mail needs a recipient", ""},
                      // Without mail the fields are hidden and not held against Ok.
                      TAddressCase{"NoMail", 0, "not yet", "", "", "edtMailTo"}),
    [](const auto& info) { return std::string(info.param.Name); });

// The dialog over a link that records what Ok stores; the client's password is "secret".
class MailServerTest : public TUiTest {
protected:
    MailServerTest() {
        Link.OnRead = [this] { return Stored; };
        Link.OnApply = [this](const host::TMailSettings& settings) { Stored = settings; };
        Link.OnPassword = [] { return std::optional<std::string>("secret"); };
    }
    void Fill(TDLGMailServer& dialog, const char* server, int security, const char* from) {
        Find<QLineEdit>(dialog, "edtMailServer")->setText(QString::fromUtf8(server));
        Find<QComboBox>(dialog, "cbbMailSecurity")->setCurrentIndex(security);
        Find<QLineEdit>(dialog, "edtMailFrom")->setText(QString::fromUtf8(from));
    }

    host::TMailServerLink Link;
    host::TMailSettings Stored;
};

// ctest runs this at 100, 125 and 150 %.
TEST_F(MailServerTest, NoTextIsCutAtTheSmallestSize) {
    TDLGMailServer dialog(Link);
    ASSERT_TRUE(ShowActive(dialog));
    dialog.resize(100, 100);
    QCoreApplication::processEvents();
    EXPECT_EQ(CutTexts(dialog), std::vector<std::string>{});
}

// What Ok stores through the link, and what it refuses while the dialog stays open.
struct TServerCase {
    const char* Name;
    const char* Server;
    int Security; // STARTTLS, TLS, none
    const char* From;
    const char* Refusal; // how the message starts; empty: stored
};

class MailServerOkTest : public MailServerTest,
                         public ::testing::WithParamInterface<TServerCase> {};

TEST_P(MailServerOkTest, OkStoresUsableSettingsAndRefusesOthers) {
    const TServerCase& c = GetParam();
    TDLGMailServer dialog(Link);
    Fill(dialog, c.Server, c.Security, c.From);
    PressOk(Answerer, dialog, c.Refusal);
    EXPECT_EQ(Stored.Server.Host, *c.Refusal == '\0' ? c.Server : "");
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

// A test mail through the real transport to a real server with STARTTLS and a password.
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
    Stored.Server.Port = server.Port();
    Stored.Server.User = "morvid";
    Stored.Server.ExtraCaFile = server.CaFile();
    TDLGMailServer dialog(Link);
    Fill(dialog, "127.0.0.1", 0, "Reports <reports@example.org>");
    Find<QLineEdit>(dialog, "edtMailPassword")->setText(QString::fromUtf8(GetParam().Typed));
    ASSERT_TRUE(ShowActive(dialog));

    Find<QPushButton>(dialog, "btnTestMail")->click();
    // The result comes through the event loop: the window is the user's meanwhile.
    EXPECT_TRUE(dialog.TestMailRunning());
    EXPECT_TRUE(Find<QProgressBar>(dialog, "pbTestMail")->isVisible());
    ASSERT_TRUE(WaitFor([&] { return !dialog.TestMailRunning(); }));
    const std::string result = Find<QLabel>(dialog, "lblTestResult")->text().toStdString();
    EXPECT_EQ(result.rfind(GetParam().Result, 0), 0u) << result;
    EXPECT_FALSE(Find<QProgressBar>(dialog, "pbTestMail")->isVisible());
    const auto received = server.Received();
    ASSERT_EQ(received.size(), result.starts_with("Test mail sent") ? 1u : 0u);
    if (!received.empty()) {
        EXPECT_EQ(morvid::test::Value(received[0], "envelope-to"), "reports@example.org");
        EXPECT_EQ(morvid::test::Value(received[0], "subject"),
                  "Test mail from the report scheduler");
    }
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
