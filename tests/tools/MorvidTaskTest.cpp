// morvid-task as an operator runs it on a settings file no client holds: every field of a task
// through its option, the settings, the exported document and an import, one good value and one
// bad value each; and the document as people read it.
#include "platform/host/registry/Registry.h"
#include "platform/host/server/DemoServer.h"
#include "platform/rtl/DateUtils.h"
#include "tasks/TaskFieldTable.h"
#include "tests/support/TempDir.h"
#include "tests/tools/ToolRun.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class MorvidTaskTest : public ::testing::Test {
protected:
    void SetUp() override {
        host::TDemoServerOptions small;
        small.Days = 1;
        small.AlarmsPerDay = 5;
        ASSERT_TRUE(host::CreateDemoServer(Dir.File("server.db"), rtl::Now(), small));
    }

    morvid::test::TToolRun Task(std::vector<std::string> args,
                                const std::string& server = "server.db") {
        args.insert(args.begin(),
                    {"--settings", Dir.File("registry.db"), "--server", Dir.File(server)});
        return morvid::test::RunTool(MORVID_TASK_PATH, args, Dir.Path(), "",
                                     {"DBUS_SESSION_BUS_ADDRESS=", "HOME=" + Dir.Path(),
                                      "XDG_STATE_HOME=" + Dir.File("state")});
    }

    // The first task's value as text: a string, a number, or "binary".
    std::string Stored(const std::string& name) {
        host::TRegistry registry(Dir.File("registry.db"), true);
        if (!registry.OpenKey("\\Software\\Quor\\Client\\Settings\\Morvid\\Schedules\\Item0",
                              false)) {
            return "(no task)";
        }
        switch (registry.GetDataType(name)) {
        case host::rdString:
            return registry.ReadString(name);
        case host::rdInteger:
            return std::to_string(registry.ReadInteger(name));
        case host::rdBinary:
            return "binary";
        default:
            return "(none)";
        }
    }

    QJsonObject ExportedTask() {
        const morvid::test::TToolRun call = Task({"export"});
        EXPECT_EQ(call.Code, 0) << call.Err;
        return QJsonDocument::fromJson(QByteArray::fromStdString(call.Out))
            .object()["tasks"]
            .toArray()[0]
            .toObject();
    }

    morvid::test::TToolRun Import(const QJsonObject& task) {
        const QJsonObject document{{"version", 1}, {"tasks", QJsonArray{task}}};
        std::ofstream(Dir.File("tasks.json")) << QJsonDocument(document).toJson().toStdString();
        return Task({"import", Dir.File("tasks.json")});
    }

    morvid::test::TTempDir Dir;
};

struct TFieldCase {
    const char* Key;
    std::vector<std::string> Good; // the option and its value
    std::string Stored;            // in the settings, "{home}" for the home folder
    const char* Json;              // as exported
    std::vector<std::string> Bad;  // empty where every text passes
    const char* Refusal;
};

TEST_F(MorvidTaskTest, EveryFieldPassesEverySurfaceAndABadValueIsRefusedForIt) {
    const TFieldCase cases[] = {
        {"Name",
         {"--name", "Night"},
         "Night",
         R"("Night")",
         {"--name", ""},
         "field Name: The name is empty"},
        {"Enabled",
         {"--enabled", "yes"},
         "1",
         "true",
         {"--enabled", "maybe"},
         "--enabled takes yes or no"},
        {"ReportId",
         {"--report", "1"},
         "1",
         "1",
         {"--report", "999"},
         "field ReportId: No report has the id 999"},
        {"ExportPath",
         {"--path", "~/exports"},
         "{home}/exports",
         R"("{home}/exports")",
         {"--path", "reports/x"},
         R"(field ExportPath: Not a full path: start it with "/" or "~/".)"},
        {"Format",
         {"--format", "HTML page"},
         "HTML page",
         R"("HTML page")",
         {"--format", "Papyrus"},
         R"(field Format: "Papyrus" is no export format)"},
        {"Schedule",
         {"--schedule", "15 2 * * * *"},
         "15 2 * * * *",
         R"("15 2 * * * *")",
         {"--schedule", "0 24 * * * *"},
         "field Schedule: '24' is not a valid hour"},
        {"RunMissed",
         {"--run-missed", "yes"},
         "1",
         "true",
         {"--run-missed", "sure"},
         "--run-missed takes yes or no"},
        {"KeepFiles",
         {"--keep-files", "3"},
         "3",
         "3",
         {"--keep-files", "-1"},
         "field KeepFiles: The number of files to keep is below 0"},
        {"Params",
         {"--param", "3:2026-01-02"},
         "1",
         R"([{"Name":"From","Value":"2026-01-02"}])",
         {"--param", "3:someday"},
         R"(field Params[0]: "someday" is not a date)"},
        {"NamePattern",
         {"--name-pattern", "{report}.{ext}"},
         "{report}.{ext}",
         R"("{report}.{ext}")",
         {"--name-pattern", "{nonsense}"},
         "field NamePattern: "},
        {"NameExists",
         {"--name-exists", "keep-both"},
         "1",
         R"("keep-both")",
         {"--name-exists", "often"},
         "--name-exists takes one of replace, keep-both"},
        {"ActiveFrom",
         {"--active-from", "2026-01-01"},
         "2026-01-01",
         R"("2026-01-01")",
         {"--active-from", "2026-13-01"},
         R"(field ActiveFrom: "2026-13-01" is not a day)"},
        {"ActiveUntil",
         {"--active-until", "2030-12-31"},
         "2030-12-31",
         R"("2030-12-31")",
         {"--active-until", "2025-01-01"},
         "field ActiveUntil: The last active day lies before the first"},
        {"MoreFilters",
         {"--more-format", "PDF document"},
         "PDF document",
         R"(["PDF document"])",
         {"--more-format", "Papyrus"},
         R"(field MoreFilters[0]: "Papyrus" is no export format)"},
        {"MailTo",
         {"--mail-to", "a@example.org"},
         "a@example.org",
         R"("a@example.org")",
         {"--mail-to", "nobody"},
         "field MailTo: "},
        {"MailCc",
         {"--mail-cc", "c@example.org"},
         "c@example.org",
         R"("c@example.org")",
         {"--mail-cc", "nobody"},
         "field MailCc: "},
        {"MailBcc",
         {"--mail-bcc", "b@example.org"},
         "b@example.org",
         R"("b@example.org")",
         {"--mail-bcc", "nobody"},
         "field MailBcc: "},
        {"MailSubject", {"--mail-subject", "{task}"}, "{task}", R"("{task}")", {}, ""},
        {"MailBody", {"--mail-body", "See {file}"}, "See {file}", R"("See {file}")", {}, ""},
        {"MailZip",
         {"--mail-zip", "yes"},
         "1",
         "true",
         {"--mail-zip", "maybe"},
         "--mail-zip takes yes or no"},
        {"MailHtml",
         {"--mail-html", "yes"},
         "1",
         "true",
         {"--mail-html", "often"},
         "--mail-html takes yes or no"},
        {"MailWhen",
         {"--mail-when", "failure"},
         "2",
         R"("failure")",
         {"--mail-when", "sometimes"},
         "--mail-when takes one of never, success, failure, always"},
        {"RetryCount",
         {"--retry-count", "2", "--retry-minutes", "15"}, // retries need their minutes
         "2",
         "2",
         {"--retry-count", "100"},
         "field RetryCount: 100 is none of 0 to 99"},
        {"RetryMinutes",
         {"--retry-minutes", "15"},
         "15",
         "15",
         {"--retry-minutes", "0"},
         "field RetryMinutes: 0 is none of 1 to 1440 minutes"},
        {"SkipEmpty",
         {"--skip-empty", "yes"},
         "1",
         R"("yes")",
         {"--skip-empty", "sometimes"},
         "--skip-empty takes one of no, yes"},
        {"TimeZone",
         {"--time-zone", "Asia/Tokyo"},
         "Asia/Tokyo",
         R"("Asia/Tokyo")",
         {"--time-zone", "Mars/Olympus"},
         "field TimeZone: "},
        {"ExcludeCalendar",
         {"--exclude-calendar", "Holidays"},
         "Holidays",
         R"("Holidays")",
         {},
         ""},
        {"Targets",
         {"--target", "https://hooks.example/T0/x kind=slack"},
         "https://hooks.example/T0/x kind=slack",
         R"(["https://hooks.example/T0/x kind=slack"])",
         {"--target", "http://hooks.example/x"},
         "field Targets[0]: Plain http sends the message unencrypted"},
    };
    // A field the table gains without a case here fails the test.
    for (const morvid::TTaskField& field : morvid::TaskFields()) {
        const bool covered = std::any_of(std::begin(cases), std::end(cases),
                                         [&](const auto& c) { return field.Key == c.Key; });
        EXPECT_TRUE(covered || field.Option.empty()) << field.Key;
    }

    morvid::test::TToolRun call =
        Task({"add", "--name", "Status", "--report", "4", "--path", Dir.Path(), "--format",
              "CSV table", "--schedule", "0 3 * * * *"});
    ASSERT_EQ(call.Code, 0) << call.Err;
    const std::string id = call.Out.substr(0, call.Out.find('\n'));
    // One field a change: each change loads the settings and saves what changed since.
    for (const TFieldCase& c : cases) {
        std::vector<std::string> good = {"set", id};
        good.insert(good.end(), c.Good.begin(), c.Good.end());
        call = Task(good);
        ASSERT_EQ(call.Code, 0) << c.Key << ": " << call.Err;
    }
    const QJsonObject exported = ExportedTask();
    auto withHome = [&](std::string text) {
        if (const std::size_t at = text.find("{home}"); at != std::string::npos) {
            text.replace(at, 6, Dir.Path());
        }
        return text;
    };
    for (const TFieldCase& c : cases) {
        const morvid::TTaskField* field = morvid::FindTaskField(c.Key);
        ASSERT_NE(field, nullptr) << c.Key;
        EXPECT_EQ(Stored(std::string(field->ValueName)), withHome(c.Stored)) << c.Key;
        EXPECT_EQ(QJsonDocument(QJsonArray{exported[c.Key]}).toJson(QJsonDocument::Compact),
                  QByteArray::fromStdString("[" + withHome(c.Json) + "]"))
            << c.Key;
    }
    EXPECT_EQ(exported["Report"], "Alarm summary") << "the report by name beside its id";
    ASSERT_EQ(Import(exported).Out, "nothing to change\n") << "the export reads back as it was";

    // A bad value, through the option and through a document, changes nothing.
    const std::string before = Task({"export"}).Out;
    for (const TFieldCase& c : cases) {
        const morvid::TTaskField* field = morvid::FindTaskField(c.Key);
        if (!c.Bad.empty()) {
            std::vector<std::string> bad = {"set", id};
            bad.insert(bad.end(), c.Bad.begin(), c.Bad.end());
            call = Task(bad);
            EXPECT_NE(call.Code, 0) << c.Key;
            EXPECT_THAT(call.Err, HasSubstr(c.Refusal)) << c.Key;
        }
        QJsonObject task = exported;
        task.remove("Report");
        if (field->Kind != morvid::TFieldKind::Params) {
            task.remove("Params");
        }
        using enum morvid::TFieldKind;
        task[c.Key] = field->Kind == Flag     ? QJsonValue("yes")
                      : field->Kind == Number ? QJsonValue("x")
                      : field->Kind == Choice ? QJsonValue("often")
                                              : QJsonValue(5);
        call = Import(task);
        EXPECT_EQ(call.Code, 1) << c.Key;
        EXPECT_THAT(call.Err, HasSubstr(std::string("field ") + c.Key + ": ")) << c.Key;
        EXPECT_EQ(Task({"export"}).Out, before) << c.Key;
    }

    // Numbers still stand for a choice's words.
    QJsonObject numbers = exported;
    numbers["MailWhen"] = 3;
    numbers["NameExists"] = 0;
    ASSERT_EQ(Import(numbers).Code, 0);
    call = Task({"show", id});
    EXPECT_THAT(call.Out, Not(HasSubstr("NameExists"))) << "replace is the unused choice";
    EXPECT_THAT(call.Out, HasSubstr("MailWhen: always\n"));
}

TEST_F(MorvidTaskTest, TheServersReportsAreListedAndAMissingServerIsNamed) {
    morvid::test::TToolRun call = Task({"reports"});
    ASSERT_EQ(call.Code, 0) << call.Err;
    EXPECT_THAT(call.Out, HasSubstr("1  Alarm summary\n    From (3 Date, default year-start)\n"));

    call = Task({"add", "--name", "Status", "--report", "4", "--path", Dir.Path(), "--format",
                 "CSV table", "--schedule", "0 3 * * * *"},
                "gone.db");
    EXPECT_EQ(call.Code, 1);
    EXPECT_THAT(call.Err, HasSubstr("field ReportId: the server file \"" + Dir.File("gone.db") +
                                    "\" is missing"));
    call = Task({"reports"}, "gone.db");
    EXPECT_EQ(call.Code, 1);
    EXPECT_THAT(call.Err, HasSubstr("is missing, so no report is known"));
}

} // namespace
