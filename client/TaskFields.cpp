#include "client/TaskFields.h"

#include <QDir>
#include <QStringList>

namespace morvid {

namespace {

QStringList Keys(bool optionalOnly) {
    QStringList keys;
    for (const TTaskField& field : TaskFields()) {
        if (field.Optional || !optionalOnly) {
            keys << QString::fromUtf8(field.Key.data(), static_cast<qsizetype>(field.Key.size()));
        }
    }
    return keys;
}

QStringList Texts(const std::vector<std::string>& list) {
    QStringList texts;
    for (const std::string& text : list) {
        texts << QString::fromStdString(text);
    }
    return texts;
}

QVariant MapValue(const TFieldValue& value) {
    if (const auto* text = std::get_if<std::string>(&value)) {
        return QString::fromStdString(*text);
    }
    if (const auto* flag = std::get_if<bool>(&value)) {
        return *flag;
    }
    if (const auto* number = std::get_if<std::int32_t>(&value)) {
        return *number;
    }
    return Texts(std::get<std::vector<std::string>>(value));
}

} // namespace

const QStringList OptionalTaskFields = Keys(true);
const QStringList SettableTaskFields = Keys(false);

QVariantMap TaskFieldMap(const host::TTaskData& task) {
    QVariantMap fields = {
        {"ReportName", QString::fromStdString(task.ReportName)},
        {"LastRun", QString::fromStdString(task.LastRun)},
        {"LastResult", QString::fromStdString(task.LastResult)},
        {"NextRun", QString::fromStdString(task.NextRun)},
    };
    for (const TTaskField& field : TaskFields()) {
        if (!field.Optional || field.IsUsed(task)) {
            fields.insert(QString::fromUtf8(field.Key.data(), field.Key.size()),
                          MapValue(field.Get(task)));
        }
    }
    return fields;
}

void ApplyTaskFields(const QVariantMap& fields, host::TTaskData& task) {
    const std::string who = task.Name.empty() ? task.Id : task.Name;
    for (auto it = fields.begin(); it != fields.end(); ++it) {
        const std::string name = it.key().toStdString();
        const QVariant& value = it.value();
        auto fail = [&](const std::string& what) {
            throw host::ETaskError(who, name, "Field \"" + name + "\" " + what);
        };
        const TTaskField* field = FindTaskField(name);
        if (field == nullptr) {
            const bool tells = name == "ReportName" || name == "LastRun" || name == "LastResult" ||
                               name == "NextRun";
            fail(tells ? "cannot be set" : "is no field of a task");
        }
        const int type = value.typeId();
        std::int32_t number = 0;
        switch (field->Kind) {
        case TFieldKind::Text: {
            if (type != QMetaType::QString) {
                fail("must be text");
            }
            std::string text = value.toString().toStdString();
            if (field->Typed != nullptr) {
                text = field->Typed(text, QDir::homePath().toStdString());
            }
            field->Set(task, text);
            break;
        }
        case TFieldKind::Flag:
            if (type != QMetaType::Bool) {
                fail("must be true or false");
            }
            field->Set(task, value.toBool());
            break;
        case TFieldKind::Choice:
            if (type == QMetaType::QString) {
                if (!ChoiceValue(*field, value.toString().toStdString(), number)) {
                    std::string words;
                    for (std::string_view word : field->Words) {
                        words += (words.empty() ? "" : ", ") + std::string(word);
                    }
                    fail("must be one of " + words);
                }
                field->Set(task, number);
                break;
            }
            [[fallthrough]];
        case TFieldKind::Number: {
            bool ok = false;
            number = value.toInt(&ok);
            if (!ok || type == QMetaType::Bool || type == QMetaType::QString ||
                value.toDouble() != number) {
                fail("must be a whole number");
            }
            field->Set(task, number);
            break;
        }
        case TFieldKind::Texts:
        case TFieldKind::Params: {
            const bool params = field->Kind == TFieldKind::Params;
            const char* what =
                params ? "must be a list of \"TYPE:VALUE\" texts" : "must be a list of texts";
            if (type != QMetaType::QStringList) {
                fail(what);
            }
            std::vector<std::string> texts;
            for (const QString& text : value.toStringList()) {
                texts.push_back(text.toStdString());
            }
            if (params && !ParseParamTexts(texts, task.Params)) {
                fail(what);
            }
            field->Set(task, texts);
            break;
        }
        }
    }
}

} // namespace morvid
