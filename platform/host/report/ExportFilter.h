// The export filter's common part: the fields the host's callers set (file name, default folder,
// default extension, the two interactive switches) and the safe writing every filter shares.
#pragma once

#include <string>

namespace host {

class TfrxReport;
class TExportFile;

class TfrxCustomExportFilter {
public:
    virtual ~TfrxCustomExportFilter();
    TfrxCustomExportFilter(const TfrxCustomExportFilter&) = delete;
    TfrxCustomExportFilter& operator=(const TfrxCustomExportFilter&) = delete;

    // The class's description, as a format picker lists it; each filter class has its own.
    static std::string GetDescription() { return {}; }
    // The description of this filter's class.
    virtual std::string Description() const = 0;

    // The file to write. A name without a folder goes into DefaultPath.
    std::string FileName;
    // Default folder, with or without a trailing '/'.
    std::string DefaultPath;
    // With the leading dot, e.g. ".pdf".
    std::string DefaultExt;
    // The options dialog and the progress window. Both are on, as in an interactive host;
    // nothing is shown on this platform either way, so exports never block on them.
    bool ShowDialog = true;
    bool ShowProgress = true;
    // A file standing at the name stays and the export fails, rather than being replaced.
    bool KeepExisting = false;

    // The file an export goes to: FileName, put into DefaultPath when it names no folder.
    std::string TargetFileName() const;

    // Writes the whole report into TargetFileName() or nothing at all. Raises EExportError
    // whose message names the file.
    void ExportReport(const TfrxReport& report);

protected:
    explicit TfrxCustomExportFilter(std::string defaultExt);

    // Writes the report into the temporary file; raises on failure.
    virtual void WriteReport(const TfrxReport& report, TExportFile& file) = 0;
};

} // namespace host
