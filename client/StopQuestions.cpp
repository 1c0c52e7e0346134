#include "client/StopQuestions.h"

#include "platform/host/forms/MessageDlg.h"
#include "platform/rtl/Words.h"

namespace morvid {

namespace {

bool Yes(const std::string& question) {
    return host::MessageDlg(question, host::TMsgDlgType::mtConfirmation,
                            host::mbYes | host::mbNo) == host::mrYes;
}

} // namespace

// Each question is one sentence with its count, so a language chooses its own plural forms.
bool ConfirmDisconnect(int armed) {
    return armed == 0 ||
           Yes(rtl::Words(MORVID_WORDS_N("StopQuestions",
                                         "Disconnect from the server? %n report tasks are armed; "
                                         "they do not run until the client connects again.",
                                         "Disconnect from the server? %n report task is armed; it "
                                         "does not run until the client connects again."),
                          {}, armed));
}

TExitAnswer AskBeforeExit(int armed, bool holderResumes, const std::optional<std::string>& unit) {
    if (armed == 0) {
        return TExitAnswer::Exit;
    }
    if (holderResumes) {
        return Yes(rtl::Words(
                   MORVID_WORDS_N("StopQuestions",
                                  "Exit? %n report tasks are armed; they do not run here any "
                                  "more; the service that handed them over takes them back.",
                                  "Exit? %n report task is armed; it does not run here any more; "
                                  "the service that handed them over takes them back."),
                   {}, armed))
                   ? TExitAnswer::Exit
                   : TExitAnswer::Stay;
    }
    const std::string stop = rtl::Words(
        MORVID_WORDS_N("StopQuestions",
                       "Exit? %n report tasks are armed; they do not run until this window or the "
                       "service runs again.",
                       "Exit? %n report task is armed; it does not run until this window or the "
                       "service runs again."),
        {}, armed);
    if (!unit) {
        return Yes(stop) ? TExitAnswer::Exit : TExitAnswer::Stay;
    }
    switch (host::MessageDlg(
        rtl::Words(MORVID_WORDS("StopQuestions",
                                "%1\n\nLeave them to the service %2? Yes starts it; it takes the "
                                "settings once this window has closed. No exits without it."),
                   {stop, *unit}),
        host::TMsgDlgType::mtConfirmation, host::mbYes | host::mbNo | host::mbCancel)) {
    case host::mrYes:
        return TExitAnswer::ExitAndStartService;
    case host::mrNo:
        return TExitAnswer::Exit;
    default:
        return TExitAnswer::Stay;
    }
}

} // namespace morvid
