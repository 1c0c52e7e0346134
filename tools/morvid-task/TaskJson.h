// Tasks as one JSON document, the form `morvid-task export` writes and `import` reads
// (docs/morvid-tasks.schema.json): {"version": 1, "tasks": [{"Id": ..., "Name": ..., ...}]}.
// Written for people: the report by name beside its id, each parameter by the report's name for
// it, a choice by its word. Read in either form.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QVariantMap>

namespace morvid {

class TReportCatalog;

inline constexpr int TaskDocumentVersion = 1;

// A task's fields that a document keeps: those that set it, not those that only tell.
QJsonObject TaskToJson(const QVariantMap& fields, const TReportCatalog& reports);
QByteArray TaskDocument(const QList<QVariantMap>& tasks, const TReportCatalog& reports);

// The tasks of a document as field maps, a report named by "Report" and parameters named by the
// report's parameter names made ids and "TYPE:VALUE" texts. A document that is no JSON, of
// another version, or a task or field of a type no task field has, a report or parameter name
// the server does not know, raises rtl::Exception naming the task (its name, or its place in
// the list) and the field.
QList<QVariantMap> ParseTaskDocument(const QByteArray& text, const TReportCatalog& reports);

} // namespace morvid
