// A write-only Qt device over an export file, for Qt writers (PDF, OpenDocument, XML) that
// write to a QIODevice; a failed write shows in the device's error string and in the file.
#pragma once

#include "platform/host/report/ExportFile.h"

#include <QIODevice>

namespace host {

class TExportDevice : public QIODevice {
public:
    explicit TExportDevice(TExportFile& file);
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    TExportFile& FFile;
};

} // namespace host
