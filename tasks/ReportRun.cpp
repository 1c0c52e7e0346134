// The run of a report task: prepare the host report with the task's parameters and export it
// through the matching export filter into the task's folder.
#include "platform/host/core/SysObjects.h"
#include "platform/host/delivery/MailOrder.h"
#include "platform/host/report/ExportFile.h"
#include "platform/host/report/ExportFilterCollection.h"
#include "platform/host/report/Report.h"
#include "platform/host/report/ReportRunObserver.h"
#include "platform/host/report/TaskRuns.h"
#include "platform/rtl/Messages.h"
#include "platform/rtl/SysUtils.h"
#include "plugin/MorvidPlugin.h"
#include "tasks/ExportFileName.h"
#include "tasks/ExportRetention.h"
#include "tasks/ExportTarget.h"
#include "tasks/NamePattern.h"
#include "tasks/ParamValues.h"
#include "tasks/PatternTarget.h"
#include "tasks/ScheduleItem.h"
#include "tasks/TaskZone.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string_view>

namespace morvid {

namespace {

// The filter is shared with the whole host: its interactive switches are off only while a run
// uses it, whichever way the run ends.
class TFilterSwitches {
public:
    explicit TFilterSwitches(host::TfrxCustomExportFilter& filter)
        : FFilter(filter), FShowDialog(filter.ShowDialog), FShowProgress(filter.ShowProgress),
          FKeepExisting(filter.KeepExisting) {
        FFilter.ShowDialog = false;
        FFilter.ShowProgress = false;
    }
    ~TFilterSwitches() {
        FFilter.ShowDialog = FShowDialog;
        FFilter.ShowProgress = FShowProgress;
        FFilter.KeepExisting = FKeepExisting;
    }
    TFilterSwitches(const TFilterSwitches&) = delete;
    TFilterSwitches& operator=(const TFilterSwitches&) = delete;

private:
    host::TfrxCustomExportFilter& FFilter;
    bool FShowDialog;
    bool FShowProgress;
    bool FKeepExisting;
};

const char* const SuccessText = "Success!";
const char* const SkippedText = "Skipped: the report has no rows";

std::string WithTrailingDelimiter(const std::string& path) {
    return (!path.empty() && path.back() == '/') ? path : path + "/";
}

// The filters are shared: a run nested in the report's dialog has set them since.
void AimFilter(host::TfrxCustomExportFilter& filter, const std::string& folder,
               const std::string& fileName, const TExportReservation& name) {
    filter.DefaultPath = folder;
    filter.FileName = fileName;
    filter.KeepExisting = !name.Replaces();
}

// What killed runs left in the folders this run writes to: the claims and temporary files of
// any name of ours, and the temporary files of this run's own names, whose claims it holds.
void RemoveAbandoned(const std::string& folder, const std::vector<std::string>& fileNames) {
    std::vector<std::string> dirs{folder};
    for (const std::string& fileName : fileNames) {
        const std::string dir = std::filesystem::path(fileName).parent_path().string() + "/";
        if (std::find(dirs.begin(), dirs.end(), dir) == dirs.end()) {
            dirs.push_back(dir);
        }
    }
    for (const std::string& dir : dirs) {
        RemoveAbandonedClaims(dir);
        // A claim's own temporary file is named as an export's of "<name>.claim".
        host::RemoveAbandonedExportFiles(dir, [&](std::string_view target) {
            const std::string_view name =
                target.ends_with(".claim") ? target.substr(0, target.size() - 6) : target;
            return (dir == folder && IsExportFileName(name)) ||
                   std::find(fileNames.begin(), fileNames.end(), dir + std::string(name)) !=
                       fileNames.end();
        });
    }
}

// The last filter whose description equals `description` exactly.
host::TfrxCustomExportFilter* FindExportFilter(const std::string& description) {
    host::TfrxCustomExportFilter* found = nullptr;
    for (int i = 0; i < host::frxExportFilters.Count(); ++i) {
        host::TfrxCustomExportFilter* filter = host::frxExportFilters.GetExportFilterItem(i);
        if (filter->Description() == description) {
            found = filter;
        }
    }
    return found;
}

host::TClientReport* FindReport(std::int32_t reportId) {
    host::TCustomSysObject* object = nullptr;
    // The list holds other host objects too; one of them under this id is no report to run.
    host::TClientReport* report = nullptr;
    if (MorvidPlugin->Reports.FindById(reportId, object)) {
        report = dynamic_cast<host::TClientReport*>(object);
    }
    if (report == nullptr) {
        throw ETaskSettingsFault(
            rtl::Format(host::_ERR_REPORT_NOT_FOUND, ("id:" + rtl::IntToStr(reportId)).c_str()));
    }
    return report;
}

// A report name becomes part of a path: one that could leave the export folder, or cut the
// name short, is refused before anything is created.
void CheckReportName(const std::string& reportName) {
    if (reportName.find('/') != std::string::npos || reportName.find('\0') != std::string::npos) {
        throw ETaskSettingsFault(rtl::Format("Report name \"%s\" cannot be used in a file name",
                                             std::string(reportName.c_str()).c_str()));
    }
}

std::string ExportErrorText(const std::vector<std::string>& errors) {
    std::string text;
    for (const std::string& line : errors) {
        text += line;
        text += "\r\n";
    }
    return text;
}

void AddNote(host::TRunRecord& record, const std::string& note) {
    if (!note.empty()) {
        record.Note += (record.Note.empty() ? "" : "; ") + note;
    }
}

// Each run is told once, when it is over, on the host's road; a host without one hears nothing.
void TellRun(const host::TRunRecord& record) {
    if (host::TTaskRuns* runs = MorvidPlugin != nullptr ? MorvidPlugin->TaskRuns() : nullptr) {
        runs->Tell(record);
    }
}

// The name of the task's report, or empty while the host has no such report.
std::string FoundReportName(std::int32_t reportId) {
    host::TCustomSysObject* object = nullptr;
    return MorvidPlugin != nullptr && MorvidPlugin->Reports.FindById(reportId, object) &&
                   object != nullptr
               ? object->Name
               : std::string();
}

bool UsesPeriodWords(const TReportParams& params) {
    for (const TReportParam& param : params) {
        if (param.ParamType == rpDatePeriod || param.ParamType == rpTimePeriod) {
            return true;
        }
    }
    return false;
}

// One more format a run exports its prepared report in.
struct TFurtherExport {
    std::string Description;
    host::TfrxCustomExportFilter* Filter = nullptr; // nullptr: no filter has the description
    std::string FileName;
    std::string Note;
    std::string Error; // why this format was not written; empty while it can be
    TExportReservation Name;
};

// The further formats in the task's order, each once and never the main one again.
std::vector<TFurtherExport> FurtherExports(const std::vector<std::string>& descriptions,
                                           const std::string& main) {
    std::vector<TFurtherExport> exports;
    for (const std::string& description : descriptions) {
        const bool seen = description == main ||
                          std::any_of(exports.begin(), exports.end(),
                                      [&](const auto& e) { return e.Description == description; });
        if (!seen) {
            exports.push_back({description, FindExportFilter(description), {}, {}, {}, {}});
        }
    }
    return exports;
}

std::string ResultOfError(const std::string& message) {
    return rtl::Format("Error: %s", rtl::StringReplace(message, "\r\n", "").c_str());
}

} // namespace

host::TRunRecord TScheduleItem::NewRun(host::TRunTrigger trigger, rtl::TDateTime due,
                                       const TAttempt& attempt) const {
    host::TRunRecord record;
    record.TaskId = Id;
    record.TaskName = Name;
    record.Format = Filter;
    record.Trigger = trigger;
    record.Due = due;
    record.KeepFiles = KeepFiles;
    record.Started = rtl::Now();
    if (attempt.Number > 0) {
        record.Note =
            "retry " + std::to_string(attempt.Number) + " of " + std::to_string(RetryCount);
    }
    return record;
}

void TScheduleItem::EndRun(host::TRunRecord& record, const TAttempt& attempt) {
    record.Ended = rtl::Now();
    // One further format that failed fails the run, which says which.
    std::string failures;
    for (host::TRunRecord& part : record.Parts) {
        part.Ended = record.Ended;
        if (part.Outcome == host::TRunOutcome::Failed) {
            failures += (failures.empty() ? "" : "; ") + part.Format + ": " + part.Note;
        }
    }
    if (!failures.empty() && record.Outcome == host::TRunOutcome::Succeeded) {
        record.Result = ResultOfError("export failed as " + failures);
        record.Outcome = host::TRunOutcome::Failed;
    }
    // Stamped when it started, so that the result is stored with the task and outlives a restart.
    LastRun = rtl::TVariant::FromDate(record.Started);
    LastRunResult = record.Result;
    LastRunOutcome = record.Outcome;
    const bool retrying = PlanRetry(record, attempt);
    UpdateRow();
    TellRun(record);
    // A run the person at the screen cancelled is nobody's news.
    // A failure that a retry may still mend is nobody's news yet either.
    if (LastRunOutcome == host::TRunOutcome::Cancelled || retrying || FSkippedEmpty) {
        return;
    }
    const bool mail = host::MailWanted(MailWhen, LastRunOutcome == host::TRunOutcome::Failed);
    if (!mail && Targets.empty()) {
        return;
    }
    if (host::TTaskRuns* runs = MorvidPlugin != nullptr ? MorvidPlugin->TaskRuns() : nullptr) {
        host::TMailOrder order{record,      MailTo,   MailCc,      MailBcc,
                               MailSubject, MailBody, record.Parts};
        order.WithMail = mail;
        order.Targets = Targets;
        order.NameExists = NameExists;
        order.PeriodStart = attempt.PeriodStart;
        order.PeriodEnd = attempt.PeriodEnd;
        order.Rows = attempt.Rows;
        order.Zip = MailZip;
        order.Html = MailHtml;
        runs->Mail(order);
    }
}

void TScheduleItem::FailWithoutRun(const std::string& result) {
    // The schedule itself is at fault: no retry can mend it.
    const TAttempt attempt{0, true};
    host::TRunRecord record = NewRun(host::TRunTrigger::Schedule, 0, attempt);
    record.ReportName = FoundReportName(ReportId);
    record.Result = result;
    record.Outcome = host::TRunOutcome::Failed;
    EndRun(record, attempt);
}

void TScheduleItem::Run(host::TRunTrigger trigger, rtl::TDateTime due) {
    RunAttempt(trigger, due, 0);
}

void TScheduleItem::RunAttempt(host::TRunTrigger trigger, rtl::TDateTime due, int attempt) {
    const std::shared_ptr<bool> alive = FAlive;
    // Whatever runs now stands in for the retry that waited.
    CancelRetry();
    TAttempt state{attempt, false};
    FSkippedEmpty = false;
    LastDelivery.clear();
    host::TRunRecord record = NewRun(trigger, due, state);
    LastRun = rtl::TVariant::FromDate(record.Started);
    LastRunOutcome.reset();
    // Released after the run is told, once the history knows whose files they are.
    std::vector<TExportReservation> written;
    RunReport(record, state, written);
    if (*alive) {
        EndRun(record, state);
        return;
    }
    // Deleted while its report ran: the person who deleted it ended the run.
    record.Ended = rtl::Now();
    record.Result = "Deleted while it ran";
    record.Outcome = host::TRunOutcome::Cancelled;
    record.FileName.clear();
    record.Parts.clear();
    // Nobody is left to retry it.
    record.DecidesRetry = true;
    TellRun(record);
}

void TScheduleItem::RunReport(host::TRunRecord& record, TAttempt& attempt,
                              std::vector<TExportReservation>& written) {
    const std::shared_ptr<bool> alive = FAlive;
    // What the engine tells of the report belongs to this run, which is told whole.
    const host::TReportRunCapture engine;
    std::string error;
    try {
        if (!MorvidPlugin->Client.IsOnline()) {
            throw rtl::Exception("Client is offline");
        }
        LastRunResult = "Working..";
        UpdateRow();
        // Repaints the row before the report starts; pending deliveries of any event run here.
        rtl::ProcessMessages();
        if (!*alive) {
            return;
        }

        host::TClientReport* report = FindReport(ReportId);
        record.ReportName = report->Name;
        host::TfrxCustomExportFilter* filter = FindExportFilter(Filter);
        if (filter == nullptr) {
            throw ETaskSettingsFault("Export filter not found!");
        }
        if (ExportPath.empty()) {
            // Rather than a file in the root folder.
            throw ETaskSettingsFault("Export path is empty");
        }

        // Words stand for the due time; a run by hand stands for its start. They read the
        // task's own wall clock, and follow its schedule and calendar.
        const rtl::TDateTime due = record.Due != 0 ? record.Due : record.Started;
        if (const std::string fault = TimeZoneFault(TimeZone); !fault.empty()) {
            throw ETaskSettingsFault(fault);
        }
        const TDueRules rules = DueRules();
        const TScheduleContext schedule{CronStr, &rules};
        const TResolvedParams params = ResolveParams(Params, WallTime(due), &schedule);
        attempt.PeriodStart = params.PeriodStart;
        attempt.PeriodEnd = params.PeriodEnd;
        if (UsesPeriodWords(Params)) {
            AddNote(record, "values: " + params.Text);
        }

        const TFilterSwitches switches(*filter);
        const std::string folder = WithTrailingDelimiter(ExportPath);
        host::TRunHistory* const history = MorvidPlugin->RunHistory();
        // The time-stamped name as ever, or the task's own pattern.
        const auto targetFor = [&](host::TfrxCustomExportFilter& exporter) {
            exporter.DefaultPath = folder;
            if (NamePattern.empty()) {
                CheckReportName(report->Name);
                return ChooseExportTarget(history, Id, folder + MakeExportFileName(report->Name),
                                          exporter.DefaultExt, rtl::Now());
            }
            std::string relative;
            try {
                relative =
                    ExpandNamePattern(NamePattern, {Name, report->Name, exporter.DefaultExt, due,
                                                    params.PeriodStart, params.PeriodEnd});
            } catch (const rtl::Exception& e) {
                throw ETaskSettingsFault(e.Message());
            }
            MakeExportFolders(folder, relative);
            return ChoosePatternTarget(history, Id, folder, relative, NameExists == neKeepBoth);
        };
        // Every name is held before the report is prepared: a report that asks for its values
        // runs the message loop, where other runs take their names meanwhile.
        TExportTarget target = targetFor(*filter);
        filter->FileName = target.FileName;
        AddNote(record, target.Note);
        std::vector<TFurtherExport> exports = FurtherExports(MoreFilters, Filter);
        std::vector<std::unique_ptr<TFilterSwitches>> furtherSwitches;
        for (TFurtherExport& more : exports) {
            try {
                if (more.Filter == nullptr) {
                    attempt.FinalFault = true;
                    throw rtl::Exception("Export filter not found!");
                }
                furtherSwitches.push_back(std::make_unique<TFilterSwitches>(*more.Filter));
                TExportTarget moreTarget = targetFor(*more.Filter);
                more.FileName = moreTarget.FileName;
                more.Note = moreTarget.Note;
                more.Name = std::move(moreTarget.Reservation);
            } catch (const std::exception& e) {
                more.Error = rtl::StringReplace(e.what(), "\r\n", "");
            }
        }
        // What runs killed while they wrote left here would otherwise stay for ever.
        std::vector<std::string> names{target.FileName};
        for (const TFurtherExport& more : exports) {
            if (!more.FileName.empty()) {
                names.push_back(more.FileName);
            }
        }
        RemoveAbandoned(folder, names);

        std::vector<rtl::TVariant> arguments;
        arguments.reserve(params.Values.size() + 1);
        // The collection's identity, cut to 32 bits as the host's reports expect it.
        arguments.emplace_back(static_cast<std::int32_t>(
            static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(&host::frxExportFilters))));
        arguments.insert(arguments.end(), params.Values.begin(), params.Values.end());

        std::unique_ptr<rtl::TComponent> window;
        const bool prepared = report->BuildPreview(arguments, window);
        arguments.clear();
        // A prompting report runs the message loop, which may have destroyed this task.
        if (!*alive) {
            return;
        }
        if (!prepared) {
            record.Result = "User canceled";
            // Somebody said no: asking again would only ask the same person again.
            attempt.FinalFault = true;
            // Only a person at the screen cancels a run by hand; a due time that nobody could
            // answer for has failed.
            record.Outcome = record.Trigger == host::TRunTrigger::Manual
                                 ? host::TRunOutcome::Cancelled
                                 : host::TRunOutcome::Failed;
            if (engine.Heard()) {
                AddNote(record, engine.Heard()->Message);
            }
            return;
        }
        if (window == nullptr) {
            throw rtl::Exception("Preview window not found!");
        }
        auto* frxReport = dynamic_cast<host::TfrxReport*>(window->FindComponent("Report"));
        if (frxReport == nullptr) {
            throw rtl::Exception("Report object not found!");
        }
        attempt.Rows = static_cast<std::int64_t>(frxReport->Rows.size());
        frxReport->RunZoneTime = ZoneTimeText(TimeZone, frxReport->RunTime);
        if (SkipEmpty == 1 && frxReport->Rows.empty()) {
            // Nothing to send: the names held go unwritten, and no mail follows.
            record.Result = SkippedText;
            record.Outcome = host::TRunOutcome::Succeeded;
            FSkippedEmpty = true;
            return;
        }
        AimFilter(*filter, folder, target.FileName, target.Reservation);
        if (!frxReport->Export(*filter)) {
            throw rtl::Exception(ExportErrorText(frxReport->Errors));
        }
        written.push_back(std::move(target.Reservation));
        record.Result = SuccessText;
        record.Outcome = host::TRunOutcome::Succeeded;
        record.FileName = target.FileName;
        // The one prepared report goes out in each further format; each is a part of the run,
        // whose note says why a format failed.
        for (TFurtherExport& more : exports) {
            if (more.Error.empty()) {
                AimFilter(*more.Filter, folder, more.FileName, more.Name);
                if (frxReport->Export(*more.Filter)) {
                    written.push_back(std::move(more.Name));
                } else {
                    more.Error = rtl::StringReplace(ExportErrorText(frxReport->Errors), "\r\n", "");
                }
            }
            host::TRunRecord part = record;
            part.Parts.clear();
            part.Format = more.Description;
            const bool failed = !more.Error.empty();
            part.Note = failed ? more.Error : more.Note;
            part.Result = failed ? ResultOfError(more.Error) : SuccessText;
            part.Outcome = failed ? host::TRunOutcome::Failed : host::TRunOutcome::Succeeded;
            part.FileName = failed ? std::string() : more.FileName;
            record.Parts.push_back(std::move(part));
        }
        if (history != nullptr && KeepFiles > 0) {
            const std::string note =
                RemoveOldExports(*history, Id, folder, record.FileName, KeepFiles, rtl::Now())
                    .Note();
            if (!note.empty()) {
                AddNote(record, note);
            }
        }
        return;
    } catch (const ETaskSettingsFault& e) {
        error = e.Message();
        attempt.FinalFault = true;
    } catch (const rtl::Exception& e) {
        error = e.Message();
    } catch (const std::exception& e) {
        error = e.what();
    } catch (...) {
        error = "Unknown error";
    }
    record.Result = ResultOfError(error);
    record.Outcome = host::TRunOutcome::Failed;
}

} // namespace morvid
