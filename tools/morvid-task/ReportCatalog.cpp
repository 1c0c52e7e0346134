#include "tools/morvid-task/ReportCatalog.h"

#include "platform/host/server/SqliteDatabase.h"
#include "platform/rtl/SysUtils.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <filesystem>

namespace morvid {

TReportCatalog::TReportCatalog(std::string serverFile) : FServerFile(std::move(serverFile)) {
    std::error_code error;
    FMissing = !std::filesystem::exists(FServerFile, error);
    if (FMissing) {
        return;
    }
    try {
        host::TSqliteDatabase server(FServerFile, host::TSqliteDatabase::TOpenMode::ReadOnly);
        FReports = host::LoadReportDefinitions(server);
    } catch (const std::exception& e) {
        throw rtl::Exception("cannot read the reports of the server file \"" + FServerFile +
                             "\": " + e.what());
    }
}

const host::TReportDefinition* TReportCatalog::FindById(std::int32_t id) const {
    for (const host::TReportDefinition& report : FReports) {
        if (report.Id == id) {
            return &report;
        }
    }
    return nullptr;
}

const host::TReportDefinition& TReportCatalog::FindByName(const std::string& name) const {
    if (FMissing) {
        throw rtl::Exception(MissingText());
    }
    const host::TReportDefinition* found = nullptr;
    for (const host::TReportDefinition& report : FReports) {
        if (report.Name == name) {
            if (found != nullptr) {
                throw rtl::Exception("several reports are named \"" + name + "\"; give ReportId");
            }
            found = &report;
        }
    }
    if (found == nullptr) {
        throw rtl::Exception("no report of the server file \"" + FServerFile + "\" is named \"" +
                             name + "\" (see: morvid-task reports)");
    }
    return *found;
}

std::string ServerMissingText(const std::string& serverFile) {
    return "the server file \"" + serverFile +
           "\" is missing, so no report is known; give the client's server with --server FILE";
}

std::string ReportListing(const TReportCatalog& catalog, bool json) {
    if (json) {
        QJsonArray list;
        for (const host::TReportDefinition& report : catalog.Reports()) {
            QJsonArray params;
            for (const host::TReportParamDef& param : report.Params) {
                QJsonObject item{{"Name", QString::fromStdString(param.Name)},
                                 {"Type", static_cast<int>(param.Type)}};
                if (param.Default) {
                    item.insert("Default", QString::fromStdString(*param.Default));
                }
                params.append(item);
            }
            list.append(QJsonObject{{"Id", report.Id},
                                    {"Name", QString::fromStdString(report.Name)},
                                    {"Params", params}});
        }
        return QJsonDocument(list).toJson().toStdString();
    }
    std::string text;
    for (const host::TReportDefinition& report : catalog.Reports()) {
        text += std::to_string(report.Id) + "  " + report.Name + '\n';
        for (std::size_t i = 0; i < report.Params.size(); ++i) {
            const host::TReportParamDef& param = report.Params[i];
            text += "    " + param.Name + " (" + std::to_string(static_cast<int>(param.Type)) +
                    " " + host::ReportParamTypeName(param.Type) +
                    (param.Default && !param.Default->empty() ? ", default " + *param.Default
                                                              : std::string()) +
                    ")\n";
        }
    }
    return text;
}

} // namespace morvid
