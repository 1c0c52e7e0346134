#include "client/TaskFields.h"

#include <QStringList>

namespace morvid {

namespace {

QStringList ParamTexts(const std::vector<host::TTaskParam>& params) {
    QStringList texts;
    for (const host::TTaskParam& param : params) {
        texts << QString::number(param.Type) + ':' + QString::fromStdString(param.Value);
    }
    return texts;
}

QStringList Texts(const std::vector<std::string>& list) {
    QStringList texts;
    for (const std::string& text : list) {
        texts << QString::fromStdString(text);
    }
    return texts;
}

} // namespace

const QStringList OptionalTaskFields = {
    "NamePattern",  "NameExists", "ActiveFrom", "ActiveUntil",    "MoreFilters", "MailTo",
    "MailCc",       "MailBcc",    "MailWhen",   "MailSubject",    "MailBody",    "RetryCount",
    "RetryMinutes", "SkipEmpty",  "TimeZone",   "ExcludeCalendar"};

const QStringList SettableTaskFields =
    QStringList{"Id",         "Name",   "Enabled",   "Schedule",  "ReportId",
                "ExportPath", "Format", "RunMissed", "KeepFiles", "Params"} +
    OptionalTaskFields;

void ClearOptionalFields(host::TTaskData& task) {
    const host::TTaskData unused;
    task.NamePattern = unused.NamePattern;
    task.NameExists = unused.NameExists;
    task.ActiveFrom = unused.ActiveFrom;
    task.ActiveUntil = unused.ActiveUntil;
    task.MoreFilters = unused.MoreFilters;
    task.MailTo = unused.MailTo;
    task.MailCc = unused.MailCc;
    task.MailBcc = unused.MailBcc;
    task.MailWhen = unused.MailWhen;
    task.MailSubject = unused.MailSubject;
    task.MailBody = unused.MailBody;
    task.RetryCount = unused.RetryCount;
    task.RetryMinutes = unused.RetryMinutes;
    task.SkipEmpty = unused.SkipEmpty;
    task.TimeZone = unused.TimeZone;
    task.ExcludeCalendar = unused.ExcludeCalendar;
}

QVariantMap TaskFieldMap(const host::TTaskData& task) {
    QVariantMap fields = {
        {"Id", QString::fromStdString(task.Id)},
        {"Name", QString::fromStdString(task.Name)},
        {"Enabled", task.Enabled},
        {"Schedule", QString::fromStdString(task.Schedule)},
        {"ReportId", task.ReportId},
        {"ExportPath", QString::fromStdString(task.ExportPath)},
        {"Format", QString::fromStdString(task.Format)},
        {"RunMissed", task.RunMissed},
        {"KeepFiles", task.KeepFiles},
        {"Params", ParamTexts(task.Params)},
        {"ReportName", QString::fromStdString(task.ReportName)},
        {"LastRun", QString::fromStdString(task.LastRun)},
        {"LastResult", QString::fromStdString(task.LastResult)},
        {"NextRun", QString::fromStdString(task.NextRun)},
    };
    auto text = [&](const char* name, const std::string& value) {
        if (!value.empty()) {
            fields.insert(name, QString::fromStdString(value));
        }
    };
    auto number = [&](const char* name, std::int32_t value) {
        if (value != 0) {
            fields.insert(name, value);
        }
    };
    text("NamePattern", task.NamePattern);
    number("NameExists", task.NameExists);
    text("ActiveFrom", task.ActiveFrom);
    text("ActiveUntil", task.ActiveUntil);
    if (!task.MoreFilters.empty()) {
        fields.insert("MoreFilters", Texts(task.MoreFilters));
    }
    text("MailTo", task.MailTo);
    text("MailCc", task.MailCc);
    text("MailBcc", task.MailBcc);
    number("MailWhen", task.MailWhen);
    text("MailSubject", task.MailSubject);
    text("MailBody", task.MailBody);
    number("RetryCount", task.RetryCount);
    number("RetryMinutes", task.RetryMinutes);
    number("SkipEmpty", task.SkipEmpty);
    text("TimeZone", task.TimeZone);
    text("ExcludeCalendar", task.ExcludeCalendar);
    return fields;
}

void ApplyTaskFields(const QVariantMap& fields, host::TTaskData& task) {
    const std::string who = task.Name.empty() ? task.Id : task.Name;
    for (auto it = fields.begin(); it != fields.end(); ++it) {
        const QString& name = it.key();
        const QVariant& value = it.value();
        auto fail = [&](const char* what) {
            throw host::ETaskError(who, name.toStdString(),
                                   "Field \"" + name.toStdString() + "\" " + what);
        };
        auto text = [&](std::string& field) {
            if (value.typeId() != QMetaType::QString) {
                fail("must be text");
            }
            field = value.toString().toStdString();
        };
        auto flag = [&](bool& field) {
            if (value.typeId() != QMetaType::Bool) {
                fail("must be true or false");
            }
            field = value.toBool();
        };
        auto number = [&](std::int32_t& field) {
            bool ok = false;
            const int n = value.toInt(&ok);
            if (!ok || value.typeId() == QMetaType::Bool || value.typeId() == QMetaType::QString ||
                value.toDouble() != n) {
                fail("must be a whole number");
            }
            field = n;
        };
        if (name == "Id") {
            text(task.Id);
        } else if (name == "Name") {
            text(task.Name);
        } else if (name == "Enabled") {
            flag(task.Enabled);
        } else if (name == "Schedule") {
            text(task.Schedule);
        } else if (name == "ReportId") {
            number(task.ReportId);
        } else if (name == "ExportPath") {
            text(task.ExportPath);
        } else if (name == "Format") {
            text(task.Format);
        } else if (name == "RunMissed") {
            flag(task.RunMissed);
        } else if (name == "KeepFiles") {
            number(task.KeepFiles);
        } else if (name == "NamePattern") {
            text(task.NamePattern);
        } else if (name == "NameExists") {
            number(task.NameExists);
        } else if (name == "ActiveFrom") {
            text(task.ActiveFrom);
        } else if (name == "ActiveUntil") {
            text(task.ActiveUntil);
        } else if (name == "MoreFilters") {
            if (value.typeId() != QMetaType::QStringList) {
                fail("must be a list of texts");
            }
            task.MoreFilters.clear();
            for (const QString& description : value.toStringList()) {
                task.MoreFilters.push_back(description.toStdString());
            }
        } else if (name == "MailTo") {
            text(task.MailTo);
        } else if (name == "MailCc") {
            text(task.MailCc);
        } else if (name == "MailBcc") {
            text(task.MailBcc);
        } else if (name == "MailWhen") {
            number(task.MailWhen);
        } else if (name == "MailSubject") {
            text(task.MailSubject);
        } else if (name == "MailBody") {
            text(task.MailBody);
        } else if (name == "RetryCount") {
            number(task.RetryCount);
        } else if (name == "RetryMinutes") {
            number(task.RetryMinutes);
        } else if (name == "SkipEmpty") {
            number(task.SkipEmpty);
        } else if (name == "TimeZone") {
            text(task.TimeZone);
        } else if (name == "ExcludeCalendar") {
            text(task.ExcludeCalendar);
        } else if (name == "Params") {
            if (value.typeId() != QMetaType::QStringList) {
                fail("must be a list of \"TYPE:VALUE\" texts");
            }
            task.Params.clear();
            for (const QString& param : value.toStringList()) {
                const qsizetype colon = param.indexOf(':');
                bool ok = false;
                const uint type = param.left(colon).toUInt(&ok);
                if (colon < 0 || !ok || type > 255) {
                    fail("must be a list of \"TYPE:VALUE\" texts");
                }
                task.Params.push_back(
                    {static_cast<std::uint8_t>(type), param.mid(colon + 1).toStdString()});
            }
        } else if (name == "ReportName" || name == "LastRun" || name == "LastResult" ||
                   name == "NextRun") {
            fail("cannot be set");
        } else {
            fail("is no field of a task");
        }
    }
}

} // namespace morvid
