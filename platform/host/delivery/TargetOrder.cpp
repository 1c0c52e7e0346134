#include "platform/host/delivery/TargetOrder.h"

#include "platform/host/delivery/DeliveryTarget.h"
#include "platform/host/delivery/MailMessage.h"
#include "platform/host/delivery/WebHook.h"
#include "platform/rtl/DateUtils.h"

namespace host {

namespace {

// "2026-03-09 06:00", as the run's zone read it.
std::string MinuteText(rtl::TDateTime moment) {
    std::string text = rtl::FormatDateTimeISO(moment).substr(0, 16);
    if (text.size() > 10) {
        text[10] = ' ';
    }
    return text;
}

std::string NameOf(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

// The run's files, in the task's order of formats: the first format's, then each further one
// written.
std::vector<TMailAttachment> RunFiles(const TMailOrder& order) {
    std::vector<TMailAttachment> files;
    if (!order.Run.FileName.empty()) {
        files.push_back({order.Run.FileName, NameOf(order.Run.FileName)});
    }
    for (const TRunRecord& part : order.Further) {
        if (part.Outcome == TRunOutcome::Succeeded && !part.FileName.empty()) {
            files.push_back({part.FileName, NameOf(part.FileName)});
        }
    }
    return files;
}

THookRun HookRun(const TMailOrder& order, const std::vector<TMailAttachment>& files) {
    THookRun run;
    run.Task = order.Run.TaskName;
    run.Report = order.Run.ReportName;
    run.Due = order.Run.Due != 0 ? MinuteText(order.Run.Due) : std::string();
    run.Outcome = RunOutcomeText(order.Run.Outcome);
    run.Result = order.Run.Result;
    if (order.PeriodStart != 0) {
        run.Period =
            MailPeriodText({order.Run, order.PeriodStart, order.PeriodEnd, order.Rows, {}});
    }
    for (const TMailAttachment& file : files) {
        const auto facts = RegularFileFacts(file.Path);
        run.Files.push_back({file.Name, facts ? facts->Size : 0});
    }
    return run;
}

} // namespace

TTargetEntries TargetEntries(const TMailOrder& order, std::int64_t now) {
    TTargetEntries result;
    const std::vector<TMailAttachment> files = order.Run.Outcome == TRunOutcome::Succeeded
                                                   ? RunFiles(order)
                                                   : std::vector<TMailAttachment>{};
    for (const std::string& line : order.Targets) {
        TDeliveryTarget target;
        if (const std::string fault = ParseDeliveryTarget(line, target); !fault.empty()) {
            result.Faults.push_back({TargetDisplayName(line), fault});
            continue;
        }
        TOutboxEntry entry;
        entry.RunStarted = order.Run.Started;
        entry.RunFormat = order.Run.Format;
        entry.TaskId = order.Run.TaskId;
        entry.TaskName = order.Run.TaskName;
        entry.Target = line;
        entry.Mail.MessageId = NewMessageId("targets@localhost");
        entry.Mail.Date = now;
        if (target.Kind == TTargetKind::WebHook) {
            entry.Mail.Body = WebHookMessage(target.Shape, HookRun(order, files));
        } else if (files.empty()) {
            continue;
        } else {
            entry.Mail.Attachments = files;
            // The task's choice goes along, so the entry delivers as the task said when it ran.
            if (!target.ExistsGiven && order.NameExists == 1) {
                entry.Target += " exists=keep-both";
            }
        }
        result.Entries.push_back(std::move(entry));
    }
    return result;
}

} // namespace host
