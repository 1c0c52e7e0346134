#include "client/StopQuestions.h"

#include "platform/host/forms/MessageDlg.h"

namespace morvid {

namespace {

std::string Armed(int armed) {
    return armed == 1 ? std::string("1 report task is armed; it does")
                      : std::to_string(armed) + " report tasks are armed; they do";
}

bool Yes(const std::string& question) {
    return host::MessageDlg(question, host::TMsgDlgType::mtConfirmation,
                            host::mbYes | host::mbNo) == host::mrYes;
}

} // namespace

bool ConfirmDisconnect(int armed) {
    return armed == 0 || Yes("Disconnect from the server? " + Armed(armed) +
                             " not run until the client connects again.");
}

TExitAnswer AskBeforeExit(int armed, bool holderResumes, const std::optional<std::string>& unit) {
    if (armed == 0) {
        return TExitAnswer::Exit;
    }
    if (holderResumes) {
        return Yes("Exit? " + Armed(armed) +
                   " not run here any more; the service that handed them over takes them back.")
                   ? TExitAnswer::Exit
                   : TExitAnswer::Stay;
    }
    const std::string stop =
        "Exit? " + Armed(armed) + " not run until this window or the service runs again.";
    if (!unit) {
        return Yes(stop) ? TExitAnswer::Exit : TExitAnswer::Stay;
    }
    switch (host::MessageDlg(stop + "\n\nLeave them to the service " + *unit +
                                 "? Yes starts it; it takes the settings once this window has "
                                 "closed. No exits without it.",
                             host::TMsgDlgType::mtConfirmation,
                             host::mbYes | host::mbNo | host::mbCancel)) {
    case host::mrYes:
        return TExitAnswer::ExitAndStartService;
    case host::mrNo:
        return TExitAnswer::Exit;
    default:
        return TExitAnswer::Stay;
    }
}

} // namespace morvid
