// A task's name judged where people give it: the editor's name field and the task interface's
// check reach one verdict for each name of the table (morvid-task's is in the service's tests).
#include "platform/host/core/TaskControl.h"
#include "tests/support/TaskNameCases.h"
#include "tests/ui/UiTestHost.h"
#include "ui/DLGScheduleEditor.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <gmock/gmock.h>

namespace uitest {
namespace {

using morvid::test::TTaskNameCase;
using ::testing::HasSubstr;

class TaskNameTest : public TUiTest, public ::testing::WithParamInterface<TTaskNameCase> {};

TEST_P(TaskNameTest, TheEditorAndTheTaskInterfaceGiveOneVerdict) {
    const TTaskNameCase& c = GetParam();
    morvid::TDLGScheduleEditor dialog;
    const auto find = [&](const char* name) {
        return dialog.findChild<QWidget*>(QString::fromLatin1(name));
    };
    static_cast<QComboBox*>(find("icbReport"))->setCurrentIndex(1);
    static_cast<QLineEdit*>(find("edtPath"))->setText("/tmp");
    static_cast<QLineEdit*>(find("edtName"))->setText(QString::fromStdString(c.Name));
    const auto* why = static_cast<QLabel*>(find("lblNameCheck"));
    ASSERT_NE(why, nullptr);

    EXPECT_EQ(find("btnOk")->isEnabled(), c.Fault.empty());
    EXPECT_EQ(why->isHidden(), c.Fault.empty());
    EXPECT_THAT(why->text().toStdString(), HasSubstr(c.Fault));

    host::TTaskData task;
    task.Name = c.Name;
    task.ReportId = 12;
    task.ExportPath = "/tmp";
    task.Format = FirstFilter();
    task.Schedule = "0 3 * * * *";
    try {
        Plugin->CheckTask(task);
        EXPECT_TRUE(c.Fault.empty()) << "took " << c.Label;
    } catch (const host::ETaskError& e) {
        EXPECT_EQ(e.Field, "Name");
        EXPECT_THAT(e.Message(), HasSubstr(c.Fault.empty() ? "(none)" : c.Fault));
    }
}

INSTANTIATE_TEST_SUITE_P(Names, TaskNameTest, ::testing::ValuesIn(morvid::test::TaskNameCases()),
                         [](const auto& info) { return std::string(info.param.Label); });

} // namespace
} // namespace uitest
