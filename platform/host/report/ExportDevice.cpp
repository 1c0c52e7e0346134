#include "platform/host/report/ExportDevice.h"

namespace host {

TExportDevice::TExportDevice(TExportFile& file) : FFile(file) {
    open(QIODevice::WriteOnly);
}

qint64 TExportDevice::readData(char*, qint64) {
    return -1;
}

qint64 TExportDevice::writeData(const char* data, qint64 size) {
    if (!FFile.TryWrite(std::string_view(data, static_cast<std::size_t>(size)))) {
        setErrorString(QStringLiteral("write failed"));
        return -1;
    }
    return size;
}

} // namespace host
