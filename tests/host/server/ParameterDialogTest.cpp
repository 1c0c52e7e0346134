#include "platform/host/server/ParameterDialog.h"

#include "ServerTestSupport.h"
#include "platform/host/forms/ModalAnswerer.h"
#include "platform/host/server/ServerReport.h"
#include "platform/host/server/ServerReportLoader.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimeEdit>
#include <gtest/gtest.h>

using namespace morvid::test;
using host::TDialogAnswer;
using host::TDialogBase;
using host::TDLGReportParameters;
using host::TModalAnswerer;
using host::TParameterRequest;
using host::TReportParamType;
using rtl::TVariant;

namespace {

// The one QApplication of this program, on the offscreen platform the tests run with.
class TQtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "test_host_server_dialog";
        static char* argv[] = {name, nullptr};
        App = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { App.reset(); }
    std::unique_ptr<QApplication> App;
};
const auto* const Environment = ::testing::AddGlobalTestEnvironment(new TQtEnvironment);

std::vector<TParameterRequest> AllKinds() {
    return {{"Who", TReportParamType::Text, {}},
            {"Limit", TReportParamType::Number, {}},
            {"OpenOnly", TReportParamType::Boolean, {}},
            {"Day", TReportParamType::Date, {}},
            {"At", TReportParamType::Time, {}}};
}

TEST(ParameterDialogTest, OneTypedEditorPerParameter) {
    TFixedClockScope clock(DemoNow());
    TDLGReportParameters dialog("Alarm log", AllKinds());
    EXPECT_EQ(dialog.Caption(), "Report parameters");
    EXPECT_NE(dialog.findChild<QLineEdit*>("edtWho"), nullptr);
    EXPECT_NE(dialog.findChild<QSpinBox*>("sedLimit"), nullptr);
    EXPECT_NE(dialog.findChild<QCheckBox*>("cbxOpenOnly"), nullptr);
    ASSERT_NE(dialog.findChild<QDateEdit*>("dteDay"), nullptr);
    EXPECT_NE(dialog.findChild<QTimeEdit*>("tmeAt"), nullptr);
    // A date starts at today.
    EXPECT_EQ(dialog.findChild<QDateEdit*>("dteDay")->date(), QDate(2026, 3, 4));

    // Ok waits for the text.
    auto* ok = dialog.findChild<QPushButton*>("btnOk");
    EXPECT_FALSE(ok->isEnabled());
    dialog.findChild<QLineEdit*>("edtWho")->setText("  ");
    EXPECT_FALSE(ok->isEnabled());
    dialog.findChild<QLineEdit*>("edtWho")->setText("Anna");
    EXPECT_TRUE(ok->isEnabled());
}

TEST(ParameterDialogTest, FittingValuesArePrefilled) {
    std::vector<TParameterRequest> requests = AllKinds();
    requests[0].Value = TVariant("Ben");
    requests[1].Value = TVariant(std::int32_t(-7));
    requests[2].Value = TVariant(true);
    requests[3].Value = TVariant("2024-02-29");
    requests[4].Value = TVariant(0.5);
    TDLGReportParameters dialog("Alarm log", requests);
    EXPECT_EQ(dialog.findChild<QLineEdit*>("edtWho")->text(), "Ben");
    EXPECT_EQ(dialog.findChild<QSpinBox*>("sedLimit")->value(), -7);
    EXPECT_TRUE(dialog.findChild<QCheckBox*>("cbxOpenOnly")->isChecked());
    EXPECT_EQ(dialog.findChild<QDateEdit*>("dteDay")->date(), QDate(2024, 2, 29));
    EXPECT_EQ(dialog.findChild<QTimeEdit*>("tmeAt")->time(), QTime(12, 0));

    // A value of the wrong kind is not shown rather than failing the dialog.
    std::vector<TParameterRequest> wrong = {{"Limit", TReportParamType::Number, TVariant("x")}};
    TDLGReportParameters second("Alarm log", wrong);
    EXPECT_EQ(second.findChild<QSpinBox*>("sedLimit")->value(), 0);
}

TEST(ParameterDialogTest, AcceptedAnswersComeBackTyped) {
    std::vector<TParameterRequest> requests = AllKinds();
    TModalAnswerer answerer;
    answerer.OnDialog = [](TDialogBase& dialog) {
        QTest::keyClicks(dialog.findChild<QLineEdit*>("edtWho"), "O'Hara; --");
        dialog.findChild<QSpinBox*>("sedLimit")->setValue(42);
        dialog.findChild<QCheckBox*>("cbxOpenOnly")->setChecked(true);
        dialog.findChild<QDateEdit*>("dteDay")->setDate(QDate(2027, 1, 1));
        dialog.findChild<QTimeEdit*>("tmeAt")->setTime(QTime(6, 30, 15));
        QTest::mouseClick(dialog.findChild<QPushButton*>("btnOk"), Qt::LeftButton);
        return TDialogAnswer::ByDialog;
    };
    ASSERT_TRUE(host::AskParametersWithDialog("Alarm log", requests));
    ASSERT_EQ(answerer.Requests.size(), 1u);
    EXPECT_EQ(answerer.Requests[0].Caption, "Report parameters");
    EXPECT_EQ(requests[0].Value, TVariant("O'Hara; --"));
    EXPECT_EQ(requests[1].Value, TVariant(std::int32_t(42)));
    EXPECT_EQ(requests[2].Value, TVariant(true));
    EXPECT_EQ(requests[3].Value, TVariant(rtl::EncodeDate(2027, 1, 1)));
    EXPECT_NEAR(requests[4].Value.AsDouble(), rtl::EncodeTime(6, 30, 15, 0), 1e-12);
}

TEST(ParameterDialogTest, CancelAndEmptyTextGiveFalse) {
    const struct {
        const char* Name;
        const char* Type; // typed into the text editor first
        const char* Click;
    } cases[] = {{"cancel", "Anna", "btnCancel"}, {"ok without text", "", "btnOk"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<TParameterRequest> requests = AllKinds();
        TModalAnswerer answerer;
        answerer.OnDialog = [&](TDialogBase& dialog) {
            QTest::keyClicks(dialog.findChild<QLineEdit*>("edtWho"), c.Type);
            QTest::mouseClick(dialog.findChild<QPushButton*>(c.Click), Qt::LeftButton);
            return TDialogAnswer::ByDialog;
        };
        EXPECT_FALSE(host::AskParametersWithDialog("Alarm log", requests));
        for (const auto& r : requests) {
            EXPECT_TRUE(r.Value.IsEmpty()) << r.Name; // nothing half-answered
        }
    }
}

class ParameterDialogReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host::CreateDemoServer(Dir.File("server.db"), DemoNow(), SmallDemoOptions()));
        host::LoadServerReports(Dir.File("server.db"), Reports);
        host::TCustomSysObject* object = nullptr;
        ASSERT_TRUE(Reports.FindById(6, object)); // "Card holder trail": CardHolder is required
        Trail = dynamic_cast<host::TServerReport*>(object);
        ASSERT_NE(Trail, nullptr);
    }

    TScratchDir Dir;
    TFixedClockScope Clock{DemoNow()};
    host::TSysObjectList Reports;
    host::TServerReport* Trail = nullptr;
    host::TParameterPrompterScope Prompter{&host::AskParametersWithDialog};
};

TEST_F(ParameterDialogReportTest, TheDialogsAnswerRunsTheReport) {
    // A card, not a name: the report takes either.
    std::string holder;
    {
        host::TSqliteDatabase db(Dir.File("server.db"), host::TSqliteDatabase::TOpenMode::ReadOnly);
        auto q = db.Prepare("SELECT card_number FROM card_holders h WHERE EXISTS (SELECT 1 FROM "
                            "access_events e WHERE e.card_holder_id = h.id AND e.occurred_at >= "
                            "?) ORDER BY id LIMIT 1");
        q.BindDouble(1, rtl::DateOf(DemoNow()) - 7);
        ASSERT_TRUE(q.Step());
        holder = q.ColumnText(0);
    }
    TModalAnswerer answerer;
    answerer.OnDialog = [&](TDialogBase& dialog) {
        QTest::keyClicks(dialog.findChild<QLineEdit*>("edtCardHolder"),
                         QString::fromStdString(holder));
        QTest::mouseClick(dialog.findChild<QPushButton*>("btnOk"), Qt::LeftButton);
        return TDialogAnswer::ByDialog;
    };
    std::unique_ptr<rtl::TComponent> window;
    ASSERT_TRUE(Trail->BuildPreview({TVariant(std::int32_t(1))}, window));
    auto* report = dynamic_cast<host::TfrxReport*>(window->FindComponent("Report"));
    ASSERT_NE(report, nullptr);
    ASSERT_FALSE(report->Rows.empty());
    for (const auto& row : report->Rows) {
        EXPECT_EQ(row[2].AsString(), holder);
    }
}

TEST_F(ParameterDialogReportTest, CancelledOrUnanswerableDialogGivesFalse) {
    {
        TModalAnswerer answerer;
        answerer.OnDialog = [](TDialogBase&) { return TDialogAnswer::Reject; };
        std::unique_ptr<rtl::TComponent> window;
        EXPECT_FALSE(Trail->BuildPreview({TVariant(std::int32_t(1))}, window));
        EXPECT_EQ(window, nullptr);
        EXPECT_EQ(answerer.Requests.size(), 1u);
    }
    // Offscreen and nobody answering: no window can be shown, so no one is asked.
    std::unique_ptr<rtl::TComponent> window;
    EXPECT_FALSE(Trail->BuildPreview({TVariant(std::int32_t(1))}, window));
    EXPECT_EQ(window, nullptr);
}

} // namespace
