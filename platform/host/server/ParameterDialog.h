// The dialog in which a person gives the values of a report's required parameters, one typed
// editor per parameter, and the prompter that shows it for the server's reports.
#pragma once

#include "platform/host/forms/DialogBase.h"
#include "platform/host/server/ParameterPrompter.h"

#include <string>
#include <vector>

class QPushButton;

namespace host {

class TDLGReportParameters : public TDialogBase {
    Q_OBJECT

public:
    // One row per request, in order: a label with the parameter's name and an editor named by
    // its kind and the name (edt text, sed number, cbx Boolean, dte date, tme time: "sedLimit").
    // An editor starts at the request's value when it has a fitting one; a date at today.
    TDLGReportParameters(const std::string& reportName,
                         const std::vector<TParameterRequest>& requests, QWidget* owner = nullptr);

    // The editors' values into the requests' Value, typed as the parameters take them: text,
    // 32-bit integer, Boolean, whole days and a fraction of a day as doubles.
    void SaveAnswers(std::vector<TParameterRequest>& requests) const;
    // Ok is offered only while every text editor holds something besides blanks.
    bool CanAccept() const;

private:
    void UpdateOk();

    std::vector<TReportParamType> FTypes;
    std::vector<QWidget*> FEditors;
    QPushButton* FOk = nullptr;
};

// Asks through TDLGReportParameters over the application's active window; false on Cancel and
// where no one can answer (a session without windows).
bool AskParametersWithDialog(const std::string& reportName,
                             std::vector<TParameterRequest>& requests);

} // namespace host
