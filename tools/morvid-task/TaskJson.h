// Tasks as one JSON document, the form `morvid-task export` writes and `import` reads
// (docs/morvid-tasks.schema.json): {"version": 1, "tasks": [{"Id": ..., "Name": ..., ...}]}.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QVariantMap>

namespace morvid {

inline constexpr int TaskDocumentVersion = 1;

// A task's fields that a document keeps: those that set it, not those that only tell.
QJsonObject TaskToJson(const QVariantMap& fields);
QByteArray TaskDocument(const QList<QVariantMap>& tasks);

// The tasks of a document as field maps. A document that is no JSON, of another version, or a
// task or field of a type no task field has raises rtl::Exception naming the task (its name, or
// its place in the list) and the field.
QList<QVariantMap> ParseTaskDocument(const QByteArray& text);

} // namespace morvid
