// Answers modal dialogs, message boxes and directory choices in place of a person, so tests and
// unattended sessions never wait in a modal loop. Also decides whether anyone could answer at all.
#pragma once

#include "platform/host/forms/MessageDlg.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace host {

class TDialogBase;

enum class TModalKind : std::uint8_t { Dialog, Message, Directory };

// How an answered dialog closes. ByDialog leaves it to what the answer did to the dialog's own
// widgets (clicking Ok or Cancel); a dialog still open afterwards counts as cancelled.
enum class TDialogAnswer : std::uint8_t { Accept, Reject, ByDialog };

// One question put to the answerer, kept in order for later checks.
struct TModalRequest {
    TModalKind Kind = TModalKind::Message;
    std::string Caption; // window title of a dialog or message box
    std::string Text;    // message text, or the directory dialog's prompt
    TMsgDlgType DlgType = TMsgDlgType::mtCustom;
    TMsgDlgButtons Buttons = 0;
    std::string InitialDir; // directory dialog only
};

// While an answerer exists it receives every modal question of the process (main thread only).
// Answerers nest: the newest one answers, and destroying it brings back the one before.
// A question whose handler is unset gets the no-answer rule (dialog cancelled, NoAnswerResult,
// no directory) and is still recorded in Requests.
class TModalAnswerer {
public:
    TModalAnswerer();
    ~TModalAnswerer();
    TModalAnswerer(const TModalAnswerer&) = delete;
    TModalAnswerer& operator=(const TModalAnswerer&) = delete;

    // Called with the dialog shown but not in a modal loop; it may drive the dialog's widgets.
    std::function<TDialogAnswer(TDialogBase& dialog)> OnDialog;
    // Returns the button's result; a result no offered button stands for counts as no answer.
    std::function<TModalResult(const TModalRequest& request)> OnMessage;
    // Returns the chosen directory, or nothing (or an empty text) for cancel.
    std::function<std::optional<std::string>(const TModalRequest& request)> OnDirectory;

    std::vector<TModalRequest> Requests;

    static TModalAnswerer* Current() noexcept;

private:
    TModalAnswerer* FPrevious;
};

// True when a person can be asked: a GUI application exists on a platform that shows windows
// (not "offscreen" or "minimal"). SetInteractiveSession forces the answer, e.g. for a host run
// headless on a desktop; std::nullopt returns to the platform's decision.
bool InteractiveSession();
void SetInteractiveSession(std::optional<bool> interactive) noexcept;

} // namespace host
