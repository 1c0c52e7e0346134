// Message boxes of the host: a text with an icon kind and a set of buttons, answered with the
// modal result of the button chosen. A test or a headless session answers without a person.
#pragma once

#include <cstdint>
#include <string>

namespace host {

// What closed a modal dialog or message box.
enum TModalResult : int {
    mrNone,
    mrOk,
    mrCancel,
    mrAbort,
    mrRetry,
    mrIgnore,
    mrYes,
    mrNo,
    mrClose,
    mrHelp,
    mrAll,
    mrNoToAll,
    mrYesToAll
};

enum class TMsgDlgType : std::uint8_t {
    mtWarning,
    mtError,
    mtInformation,
    mtConfirmation,
    mtCustom
};

// Buttons are bits, so a set is written mbYes | mbNo.
enum TMsgDlgBtn : std::uint32_t {
    mbYes = 1u << 0,
    mbNo = 1u << 1,
    mbOK = 1u << 2,
    mbCancel = 1u << 3,
    mbAbort = 1u << 4,
    mbRetry = 1u << 5,
    mbIgnore = 1u << 6,
    mbAll = 1u << 7,
    mbNoToAll = 1u << 8,
    mbYesToAll = 1u << 9,
    mbHelp = 1u << 10,
    mbClose = 1u << 11
};
using TMsgDlgButtons = std::uint32_t;

// The result a button stands for (mbOK → mrOk, ...).
TModalResult ButtonResult(TMsgDlgBtn button) noexcept;
// True when one of the buttons answers with that result.
bool OffersResult(TMsgDlgButtons buttons, TModalResult result) noexcept;

// The answer when nobody can be asked: the one that changes nothing. Cancel if offered, else No,
// else Ok, else Close, else the first button offered; mrNone for an empty set.
TModalResult NoAnswerResult(TMsgDlgButtons buttons) noexcept;

// Shows the message modally and returns the chosen button's result. The help context is kept for
// callers written against help-enabled hosts; this host has no help system and ignores it.
// An installed TModalAnswerer answers instead of a person; without one, a session that cannot
// show windows gets NoAnswerResult at once.
TModalResult MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons,
                        int helpContext = 0);

// A question with Yes and No.
TModalResult ConfirmDlg(const std::string& text);

} // namespace host
