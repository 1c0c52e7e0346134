#include "tools/morvid-task/TaskJson.h"

#include "client/TaskFields.h"
#include "platform/rtl/SysUtils.h"
#include "tools/morvid-task/ReportCatalog.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>
#include <cmath>

namespace morvid {

namespace {

// Each "TYPE:VALUE" as {"Name": ..., "Value": ...} by the report's parameter at its place, with
// "Type" only where it is not the declared one (a period word); one beyond them stays as it is.
QJsonArray NamedParams(const QStringList& texts, const host::TReportDefinition& report) {
    QJsonArray params;
    for (qsizetype i = 0; i < texts.size(); ++i) {
        const qsizetype colon = texts[i].indexOf(':');
        if (static_cast<std::size_t>(i) >= report.Params.size() || colon < 0) {
            params.append(texts[i]);
            continue;
        }
        const host::TReportParamDef& declared = report.Params[static_cast<std::size_t>(i)];
        QJsonObject param{{"Name", QString::fromStdString(declared.Name)},
                          {"Value", texts[i].mid(colon + 1)}};
        if (const int type = texts[i].left(colon).toInt();
            type != static_cast<int>(declared.Type)) {
            param.insert("Type", type);
        }
        params.append(param);
    }
    return params;
}

QString ParamText(const QJsonObject& param, std::size_t index,
                  const host::TReportDefinition& report,
                  const std::function<void(const std::string&)>& fail) {
    if (index >= report.Params.size()) {
        fail("report \"" + report.Name + "\" has " + std::to_string(report.Params.size()) +
             " parameters, not " + std::to_string(index + 1));
    }
    const host::TReportParamDef& declared = report.Params[index];
    const QString name = param.value("Name").toString();
    if (name.toStdString() != declared.Name) {
        fail("parameter " + std::to_string(index + 1) + " of report \"" + report.Name + "\" is \"" +
             declared.Name + "\", not \"" + name.toStdString() + "\"");
    }
    const QJsonValue value = param.value("Value");
    const QJsonValue type = param.value("Type");
    QString text = value.isString()   ? value.toString()
                   : value.isBool()   ? (value.toBool() ? "true" : "false")
                   : value.isDouble() ? QString::number(value.toDouble(), 'g', 17)
                                      : QString();
    if (!(value.isString() || value.isBool() || value.isDouble() || value.isUndefined()) ||
        !(type.isUndefined() || type.isDouble())) {
        fail("parameter \"" + declared.Name + "\" takes a \"Value\" and a \"Type\" number");
    }
    const int code = type.isDouble() ? type.toInt() : static_cast<int>(declared.Type);
    return QString::number(code) + ':' + text;
}

} // namespace

QJsonObject TaskToJson(const QVariantMap& fields, const TReportCatalog& reports) {
    QJsonObject task;
    const host::TReportDefinition* report = reports.FindById(fields.value("ReportId").toInt());
    for (const QString& name : SettableTaskFields) {
        if (!fields.contains(name)) {
            continue;
        }
        const TTaskField* field = FindTaskField(name.toStdString());
        if (field->Kind == TFieldKind::Choice) {
            task.insert(name, QString::fromStdString(ChoiceWord(*field, fields[name].toInt())));
        } else if (field->Kind == TFieldKind::Params && report != nullptr) {
            task.insert(name, NamedParams(fields[name].toStringList(), *report));
        } else {
            task.insert(name, QJsonValue::fromVariant(fields[name]));
        }
    }
    if (report != nullptr) {
        task.insert("Report", QString::fromStdString(report->Name));
    }
    return task;
}

QByteArray TaskDocument(const QList<QVariantMap>& tasks, const TReportCatalog& reports) {
    QJsonArray list;
    for (const QVariantMap& task : tasks) {
        list.append(TaskToJson(task, reports));
    }
    return QJsonDocument(QJsonObject{{"version", TaskDocumentVersion}, {"tasks", list}})
        .toJson(QJsonDocument::Indented);
}

QList<QVariantMap> ParseTaskDocument(const QByteArray& text, const TReportCatalog& reports) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError) {
        throw rtl::Exception("not JSON at character " + std::to_string(error.offset) + ": " +
                             error.errorString().toStdString());
    }
    const QJsonObject root = document.object();
    if (!document.isObject() || root.value("version").toInt() != TaskDocumentVersion ||
        !root.value("tasks").isArray()) {
        throw rtl::Exception("not a task list of version " + std::to_string(TaskDocumentVersion) +
                             " (an object with \"version\": 1 and a \"tasks\" array)");
    }
    QList<QVariantMap> tasks;
    const QJsonArray list = root.value("tasks").toArray();
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QJsonObject task = list[i].toObject();
        const std::string who = task.value("Name").isString()
                                    ? "\"" + task.value("Name").toString().toStdString() + "\""
                                    : "#" + std::to_string(i + 1);
        if (!list[i].isObject()) {
            throw rtl::Exception("task " + who + ": not an object");
        }
        QVariantMap fields;
        std::string key;
        auto fail = [&](const std::string& what) {
            throw rtl::Exception("task " + who + ", field " + key + ": " + what);
        };
        // The report first: named parameters are read against it.
        const host::TReportDefinition* report = nullptr;
        if (task.contains("Report")) {
            key = "Report";
            if (!task.value("Report").isString()) {
                fail("not a report's name");
            }
            try {
                report = &reports.FindByName(task.value("Report").toString().toStdString());
            } catch (const rtl::Exception& e) {
                fail(e.Message());
            }
            const QJsonValue id = task.value("ReportId");
            if (!id.isUndefined() && id.toDouble() != report->Id) {
                fail("report \"" + report->Name + "\" has the id " + std::to_string(report->Id) +
                     ", not " + std::to_string(id.toInt()));
            }
            fields.insert("ReportId", report->Id);
        } else if (task.value("ReportId").isDouble()) {
            report = reports.FindById(task.value("ReportId").toInt());
        }
        for (auto it = task.begin(); it != task.end(); ++it) {
            const QJsonValue& value = it.value();
            key = it.key().toStdString();
            if (key == "Report") {
                continue;
            }
            if (value.isString() || value.isBool()) {
                fields.insert(it.key(), value.toVariant());
            } else if (value.isDouble()) {
                const double number = value.toDouble();
                if (number != std::trunc(number) || std::abs(number) > 2147483647.0) {
                    fail("not a whole number");
                }
                fields.insert(it.key(), static_cast<int>(number));
            } else if (value.isArray()) {
                QStringList texts;
                const QJsonArray items = value.toArray();
                for (qsizetype j = 0; j < items.size(); ++j) {
                    if (items[j].isString()) {
                        texts << items[j].toString();
                    } else if (items[j].isObject() && key == "Params") {
                        if (report == nullptr) {
                            fail(reports.Missing() ? reports.MissingText()
                                                   : "a parameter by name needs the task's report");
                        }
                        texts << ParamText(items[j].toObject(), static_cast<std::size_t>(j),
                                           *report, fail);
                    } else {
                        fail("not a list of texts");
                    }
                }
                fields.insert(it.key(), texts);
            } else {
                fail("of no type a task field has");
            }
        }
        tasks << fields;
    }
    return tasks;
}

} // namespace morvid
