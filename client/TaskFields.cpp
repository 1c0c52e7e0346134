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

} // namespace

QVariantMap TaskFieldMap(const host::TTaskData& task) {
    return {
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
