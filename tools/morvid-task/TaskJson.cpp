#include "tools/morvid-task/TaskJson.h"

#include "client/TaskFields.h"
#include "platform/rtl/SysUtils.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>
#include <cmath>

namespace morvid {

QJsonObject TaskToJson(const QVariantMap& fields) {
    QJsonObject task;
    for (const QString& name : SettableTaskFields) {
        if (fields.contains(name)) {
            task.insert(name, QJsonValue::fromVariant(fields[name]));
        }
    }
    return task;
}

QByteArray TaskDocument(const QList<QVariantMap>& tasks) {
    QJsonArray list;
    for (const QVariantMap& task : tasks) {
        list.append(TaskToJson(task));
    }
    return QJsonDocument(QJsonObject{{"version", TaskDocumentVersion}, {"tasks", list}})
        .toJson(QJsonDocument::Indented);
}

QList<QVariantMap> ParseTaskDocument(const QByteArray& text) {
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
        for (auto it = task.begin(); it != task.end(); ++it) {
            const QJsonValue& value = it.value();
            auto fail = [&](const char* what) {
                throw rtl::Exception("task " + who + ", field " + it.key().toStdString() + ": " +
                                     what);
            };
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
                for (const QJsonValue& item : value.toArray()) {
                    if (!item.isString()) {
                        fail("not a list of texts");
                    }
                    texts << item.toString();
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
