// Dialogs, message boxes and directory choices answered without a person; the form base's
// placement and closing.
#include "platform/host/forms/DialogBase.h"
#include "platform/host/forms/DirDialog.h"
#include "platform/host/forms/FormBase.h"
#include "platform/host/forms/MessageDlg.h"
#include "platform/host/forms/ModalAnswerer.h"
#include "tests/host/forms/QtTestApplication.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>

namespace {

using namespace host;

// A small dialog with a text field and Ok / Cancel, as the editor dialogs are built.
class TSampleDialog : public TDialogBase {
public:
    explicit TSampleDialog(QWidget* owner = nullptr) : TDialogBase(owner) {
        SetCaption("Sample");
        SetClientSize(200, 120);
        auto* layout = new QVBoxLayout(this);
        Edit = new QLineEdit(this);
        Edit->setObjectName("edtName");
        Ok = new QPushButton("Ok", this);
        Ok->setObjectName("btnOk");
        Cancel = new QPushButton("Cancel", this);
        Cancel->setObjectName("btnCancel");
        layout->addWidget(Edit);
        layout->addWidget(Ok);
        layout->addWidget(Cancel);
        connect(Ok, &QPushButton::clicked, this, &QDialog::accept);
        connect(Cancel, &QPushButton::clicked, this, &QDialog::reject);
    }
    QLineEdit* Edit;
    QPushButton* Ok;
    QPushButton* Cancel;
};

// Restores the platform's own decision after a test forced the session kind.
struct TInteractiveGuard {
    ~TInteractiveGuard() { SetInteractiveSession(std::nullopt); }
};

struct TDialogCase {
    const char* Name;
    TDialogAnswer Answer;
    const char* Click; // button the answer clicks first, or nullptr
    bool Expected;
};

class DialogAnswerTest : public ::testing::TestWithParam<TDialogCase> {};

TEST_P(DialogAnswerTest, ExecuteReturnsTheAnswerAndGivesTheParentBack) {
    const TDialogCase& c = GetParam();
    QWidget mainWindow;
    mainWindow.resize(400, 300);
    TSampleDialog dialog;

    TModalAnswerer answerer;
    bool seenShown = false;
    QWidget* seenParent = nullptr;
    answerer.OnDialog = [&](TDialogBase& shown) {
        seenShown = shown.isVisible();
        seenParent = shown.parentWidget();
        auto* edit = shown.findChild<QLineEdit*>("edtName");
        QTest::keyClicks(edit, "typed");
        if (c.Click != nullptr) {
            QTest::mouseClick(shown.findChild<QPushButton*>(c.Click), Qt::LeftButton);
        }
        return c.Answer;
    };

    EXPECT_EQ(dialog.Execute(&mainWindow), c.Expected);
    EXPECT_TRUE(seenShown);
    EXPECT_EQ(seenParent, &mainWindow);
    EXPECT_EQ(dialog.parentWidget(), nullptr);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.Edit->text(), "typed");
    ASSERT_EQ(answerer.Requests.size(), 1u);
    EXPECT_EQ(answerer.Requests[0].Kind, TModalKind::Dialog);
    EXPECT_EQ(answerer.Requests[0].Caption, "Sample");
}

INSTANTIATE_TEST_SUITE_P(
    Answers, DialogAnswerTest,
    ::testing::Values(TDialogCase{"Accept", TDialogAnswer::Accept, nullptr, true},
                      TDialogCase{"Reject", TDialogAnswer::Reject, nullptr, false},
                      TDialogCase{"OkClicked", TDialogAnswer::ByDialog, "btnOk", true},
                      TDialogCase{"CancelClicked", TDialogAnswer::ByDialog, "btnCancel", false},
                      TDialogCase{"LeftOpen", TDialogAnswer::ByDialog, nullptr, false},
                      TDialogCase{"RejectAfterOk", TDialogAnswer::Reject, "btnOk", false}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(DialogBaseTest, EscapeCancelsAndTheDialogCanBeShownAgain) {
    TSampleDialog dialog;
    TModalAnswerer answerer;
    answerer.OnDialog = [](TDialogBase& shown) {
        QTest::keyClick(&shown, Qt::Key_Escape);
        return TDialogAnswer::ByDialog;
    };
    EXPECT_FALSE(dialog.Execute(nullptr));
    answerer.OnDialog = [](TDialogBase& shown) {
        EXPECT_TRUE(shown.isVisible());
        return TDialogAnswer::Accept;
    };
    EXPECT_TRUE(dialog.Execute(nullptr));
    EXPECT_EQ(answerer.Requests.size(), 2u);
}

TEST(DialogBaseTest, LentParentIsReturnedSoTheOwnerFreesTheDialogOnce) {
    // The dialog has its own owner; the window it is shown over dies first. If the loan were
    // kept, the window would delete the dialog and the owner would free it a second time.
    auto owner = std::make_unique<QWidget>();
    auto* dialog = new TSampleDialog(owner.get());
    auto parent = std::make_unique<QWidget>();
    TModalAnswerer answerer;
    answerer.OnDialog = [](TDialogBase&) { return TDialogAnswer::Accept; };
    EXPECT_TRUE(dialog->Execute(parent.get()));
    parent.reset();
    EXPECT_EQ(dialog->parentWidget(), owner.get());
    EXPECT_TRUE(owner->findChildren<TSampleDialog*>().contains(dialog));
}

TEST(DialogBaseTest, ParentIsReturnedWhenTheAnswerFails) {
    QWidget parent;
    TSampleDialog dialog;
    TModalAnswerer answerer;
    answerer.OnDialog = [](TDialogBase&) -> TDialogAnswer { throw std::runtime_error("boom"); };
    EXPECT_THROW(dialog.Execute(&parent), std::runtime_error);
    EXPECT_EQ(dialog.parentWidget(), nullptr);
    EXPECT_FALSE(dialog.isVisible());
}

TEST(DialogBaseTest, IsFixedSize) {
    TSampleDialog dialog;
    EXPECT_EQ(dialog.minimumSize(), QSize(200, 120));
    EXPECT_EQ(dialog.maximumSize(), QSize(200, 120));
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMinimizeButtonHint);
}

TEST(NoAnswerTest, OffscreenSessionIsNotInteractive) {
    EXPECT_FALSE(InteractiveSession());
    TInteractiveGuard guard;
    SetInteractiveSession(true);
    EXPECT_TRUE(InteractiveSession());
    SetInteractiveSession(std::nullopt);
    EXPECT_FALSE(InteractiveSession());
}

TEST(NoAnswerTest, NobodyToAskAnswersAtOnceWithoutChangingAnything) {
    ASSERT_EQ(TModalAnswerer::Current(), nullptr);
    TSampleDialog dialog;
    EXPECT_FALSE(dialog.Execute(nullptr));
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(ConfirmDlg("Delete task \"a\"?"), mrNo);
    EXPECT_EQ(MessageDlg("Failed", TMsgDlgType::mtError, mbOK), mrOk);
    TDirDialog dirDialog;
    dirDialog.Directory = "/kept";
    EXPECT_FALSE(dirDialog.Execute());
    EXPECT_EQ(dirDialog.Directory, "/kept");
}

TEST(NoAnswerTest, AnswererWithoutHandlersAppliesTheSameRuleAndRecords) {
    TModalAnswerer answerer;
    TSampleDialog dialog;
    TDirDialog dirDialog;
    EXPECT_FALSE(dialog.Execute(nullptr));
    EXPECT_EQ(ConfirmDlg("Sure?"), mrNo);
    EXPECT_FALSE(dirDialog.Execute());
    ASSERT_EQ(answerer.Requests.size(), 3u);
    EXPECT_EQ(answerer.Requests[0].Kind, TModalKind::Dialog);
    EXPECT_EQ(answerer.Requests[1].Kind, TModalKind::Message);
    EXPECT_EQ(answerer.Requests[2].Kind, TModalKind::Directory);
}

struct TNoAnswerCase {
    TMsgDlgButtons Buttons;
    TModalResult Expected;
};

class NoAnswerResultTest : public ::testing::TestWithParam<TNoAnswerCase> {};

TEST_P(NoAnswerResultTest, PicksTheAnswerThatChangesNothing) {
    EXPECT_EQ(NoAnswerResult(GetParam().Buttons), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    ButtonSets, NoAnswerResultTest,
    ::testing::Values(TNoAnswerCase{mbYes | mbNo, mrNo}, TNoAnswerCase{mbOK | mbCancel, mrCancel},
                      TNoAnswerCase{mbYes | mbNo | mbCancel, mrCancel}, TNoAnswerCase{mbOK, mrOk},
                      TNoAnswerCase{mbAbort | mbRetry | mbIgnore, mrAbort},
                      TNoAnswerCase{mbClose | mbHelp, mrClose}, TNoAnswerCase{0, mrNone}));

struct TMessageCase {
    TMsgDlgButtons Buttons;
    TModalResult Answer;
    TModalResult Expected;
};

class MessageAnswerTest : public ::testing::TestWithParam<TMessageCase> {};

TEST_P(MessageAnswerTest, ReturnsTheAnswerWhenItsButtonIsOffered) {
    const TMessageCase& c = GetParam();
    TModalAnswerer answerer;
    answerer.OnMessage = [&](const TModalRequest&) { return c.Answer; };
    EXPECT_EQ(MessageDlg("Question", TMsgDlgType::mtConfirmation, c.Buttons, 0), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(Answers, MessageAnswerTest,
                         ::testing::Values(TMessageCase{mbYes | mbNo, mrYes, mrYes},
                                           TMessageCase{mbYes | mbNo, mrNo, mrNo},
                                           TMessageCase{mbYes | mbNo, mrOk, mrNo},
                                           TMessageCase{mbOK | mbCancel, mrOk, mrOk},
                                           TMessageCase{mbYesToAll | mbNo, mrYesToAll,
                                                        mrYesToAll}));

TEST(MessageDlgTest, ConfirmationCarriesTheTextAndYesNo) {
    TModalAnswerer answerer;
    answerer.OnMessage = [](const TModalRequest&) { return mrYes; };
    EXPECT_EQ(ConfirmDlg("Delete task \"Daily \"alarms\"\"?"), mrYes);
    ASSERT_EQ(answerer.Requests.size(), 1u);
    const TModalRequest& request = answerer.Requests[0];
    EXPECT_EQ(request.Kind, TModalKind::Message);
    EXPECT_EQ(request.Text, "Delete task \"Daily \"alarms\"\"?");
    EXPECT_EQ(request.DlgType, TMsgDlgType::mtConfirmation);
    EXPECT_EQ(request.Buttons, TMsgDlgButtons(mbYes | mbNo));
    EXPECT_EQ(request.Caption, "Confirm");
}

TEST(ModalAnswererTest, NestedAnswerersHandBackInOrder) {
    TModalAnswerer outer;
    outer.OnMessage = [](const TModalRequest&) { return mrYes; };
    {
        TModalAnswerer inner;
        inner.OnMessage = [](const TModalRequest&) { return mrNo; };
        EXPECT_EQ(TModalAnswerer::Current(), &inner);
        EXPECT_EQ(ConfirmDlg("?"), mrNo);
    }
    EXPECT_EQ(TModalAnswerer::Current(), &outer);
    EXPECT_EQ(ConfirmDlg("?"), mrYes);
    EXPECT_EQ(outer.Requests.size(), 1u);
}

TEST(ModalAnswererTest, AnswererEndingOutOfTurnIsUnlinked) {
    auto outer = std::make_unique<TModalAnswerer>();
    auto inner = std::make_unique<TModalAnswerer>();
    inner->OnMessage = [](const TModalRequest&) { return mrYes; };
    outer.reset();
    EXPECT_EQ(TModalAnswerer::Current(), inner.get());
    EXPECT_EQ(ConfirmDlg("?"), mrYes);
    inner.reset();
    EXPECT_EQ(TModalAnswerer::Current(), nullptr);
}

// With a person assumed present, the real modal loops run; a timer plays the person.
TEST(RealModalLoopTest, DialogRunsItsOwnLoopUntilOk) {
    TInteractiveGuard guard;
    SetInteractiveSession(true);
    TSampleDialog dialog;
    QTimer::singleShot(0, [&dialog] {
        ASSERT_TRUE(formstest::WaitFor([&dialog] { return dialog.isVisible(); }));
        EXPECT_TRUE(dialog.isModal());
        QTest::mouseClick(dialog.Ok, Qt::LeftButton);
    });
    EXPECT_TRUE(dialog.Execute(nullptr));
}

struct TRealBoxCase {
    QMessageBox::StandardButton Click;
    TModalResult Expected;
};

class RealMessageBoxTest : public ::testing::TestWithParam<TRealBoxCase> {};

TEST_P(RealMessageBoxTest, ClickedButtonBecomesTheResult) {
    TInteractiveGuard guard;
    SetInteractiveSession(true);
    const TRealBoxCase c = GetParam();
    QTimer::singleShot(0, [c] {
        QMessageBox* box = nullptr;
        ASSERT_TRUE(formstest::WaitFor([&box] {
            box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            return box != nullptr;
        }));
        EXPECT_EQ(box->text(), "Delete task \"x\"?");
        box->button(c.Click)->click();
    });
    EXPECT_EQ(ConfirmDlg("Delete task \"x\"?"), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(Buttons, RealMessageBoxTest,
                         ::testing::Values(TRealBoxCase{QMessageBox::Yes, mrYes},
                                           TRealBoxCase{QMessageBox::No, mrNo}));

TEST(RealModalLoopTest, EscapeOnAMessageBoxGivesTheSafeAnswer) {
    TInteractiveGuard guard;
    SetInteractiveSession(true);
    QTimer::singleShot(0, [] {
        QWidget* box = nullptr;
        ASSERT_TRUE(formstest::WaitFor([&box] {
            box = QApplication::activeModalWidget();
            return box != nullptr;
        }));
        QTest::keyClick(box, Qt::Key_Escape);
    });
    EXPECT_EQ(MessageDlg("Go on?", TMsgDlgType::mtWarning, mbOK | mbCancel), mrCancel);
}

struct TDirCase {
    const char* Name;
    std::optional<std::string> Answer;
    bool Expected;
    const char* Directory;
};

class DirDialogTest : public ::testing::TestWithParam<TDirCase> {};

TEST_P(DirDialogTest, AnswerSetsOrKeepsTheDirectory) {
    const TDirCase& c = GetParam();
    TModalAnswerer answerer;
    answerer.OnDirectory = [&](const TModalRequest&) { return c.Answer; };
    TDirDialog dialog;
    dialog.InitialDir = "/srv/exports";
    dialog.Directory = "/before";
    EXPECT_EQ(dialog.Execute(), c.Expected);
    EXPECT_EQ(dialog.Directory, c.Directory);
    ASSERT_EQ(answerer.Requests.size(), 1u);
    EXPECT_EQ(answerer.Requests[0].Kind, TModalKind::Directory);
    EXPECT_EQ(answerer.Requests[0].Text, "Select directory");
    EXPECT_EQ(answerer.Requests[0].InitialDir, "/srv/exports");
}

INSTANTIATE_TEST_SUITE_P(
    Answers, DirDialogTest,
    ::testing::Values(TDirCase{"Chosen", std::string("/tmp/reports"), true, "/tmp/reports"},
                      TDirCase{"Cancelled", std::nullopt, false, "/before"},
                      TDirCase{"EmptyIsCancel", std::string(), false, "/before"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(DirDialogStartTest, StartsInAnExistingInitialDirOrFallsBack) {
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    TDirDialog dialog;
    dialog.InitialDir = temp.path().toStdString();
    EXPECT_EQ(dialog.StartDirectory(), QDir(temp.path()).absolutePath().toStdString());
    dialog.InitialDir = temp.filePath("missing").toStdString();
    EXPECT_TRUE(QDir(QString::fromStdString(dialog.StartDirectory())).exists());
    EXPECT_NE(dialog.StartDirectory(), dialog.InitialDir);
}

// --- TFormBase ----------------------------------------------------------------------------------

TEST(FormBaseTest, FirstShowIsCentredOnTheMainWindow) {
    QWidget mainWindow;
    mainWindow.setGeometry(100, 80, 900, 700);
    ASSERT_TRUE(formstest::ShowActive(mainWindow));
    TFormBase form(&mainWindow);
    form.SetClientSize(300, 200);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const QPoint delta = form.frameGeometry().center() - mainWindow.frameGeometry().center();
    EXPECT_LE(delta.manhattanLength(), 2);
    EXPECT_EQ(form.size(), QSize(300, 200));
}

TEST(FormBaseTest, StoredPlacementWinsOverCentringAndReadsBack) {
    QWidget mainWindow;
    mainWindow.setGeometry(100, 80, 900, 700);
    ASSERT_TRUE(formstest::ShowActive(mainWindow));
    TFormBase form(&mainWindow);
    const TFormPlacement placement{20, 30, 400, 250};
    form.SetPlacement(placement);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(form.Placement(), placement);
    // Hiding and showing again keeps where the user left it.
    form.SetPlacement({50, 60, 420, 260});
    form.hide();
    form.show();
    EXPECT_EQ(form.Placement(), (TFormPlacement{50, 60, 420, 260}));
}

TEST(FormBaseTest, ClosingOnlyHides) {
    TFormBase form;
    form.SetCaption("Scheduled reports");
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.close();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.Caption(), "Scheduled reports");
    form.show();
    EXPECT_TRUE(form.isVisible());
}

TEST(FormBaseTest, BringToFrontRestoresAMinimisedForm) {
    TFormBase form;
    form.showMinimized();
    ASSERT_TRUE(form.isMinimized());
    form.BringToFront();
    EXPECT_FALSE(form.isMinimized());
    EXPECT_TRUE(form.isVisible());
}

TEST(FormBaseTest, AppWindowDecidesWhetherTheFormStandsUnderTheMainWindow) {
    QWidget mainWindow;
    ASSERT_TRUE(formstest::ShowActive(mainWindow));
    TFormBase form(&mainWindow);
    form.show();
    ASSERT_NE(form.windowHandle(), nullptr);
    EXPECT_EQ(form.windowHandle()->transientParent(), mainWindow.windowHandle());
    form.SetAppWindow(true);
    EXPECT_EQ(form.windowHandle()->transientParent(), nullptr);
    form.SetAppWindow(false);
    EXPECT_EQ(form.windowHandle()->transientParent(), mainWindow.windowHandle());
}

} // namespace
