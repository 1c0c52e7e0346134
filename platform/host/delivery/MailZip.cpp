#include "platform/host/delivery/MailZip.h"

#include "platform/rtl/SysUtils.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <minizip/zip.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace host {

namespace {

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// The name once more: "report (2).pdf" for the second "report.pdf".
std::string Numbered(const std::string& name, int number) {
    const std::size_t dot = name.rfind('.');
    const std::size_t at = dot == std::string::npos || dot == 0 ? name.size() : dot;
    return name.substr(0, at) + " (" + std::to_string(number) + ")" + name.substr(at);
}

tm_zip ZipTime(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    tm_zip out{};
    out.tm_sec = static_cast<uInt>(local.tm_sec);
    out.tm_min = static_cast<uInt>(local.tm_min);
    out.tm_hour = static_cast<uInt>(local.tm_hour);
    out.tm_mday = static_cast<uInt>(local.tm_mday);
    out.tm_mon = static_cast<uInt>(local.tm_mon);
    out.tm_year = static_cast<uInt>(local.tm_year + 1900);
    return out;
}

// Streams one file into the open zip's next entry.
void AddEntry(zipFile zip, const std::string& archive, const TMailAttachment& file,
              const std::string& name) {
    const int in = ::open(file.Path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (in < 0 || ::fstat(in, &info) != 0) {
        const int error = errno;
        if (in >= 0) {
            ::close(in);
        }
        throw rtl::Exception("Cannot read " + Quoted(file.Path) +
                             " for the zip: " + std::strerror(error));
    }
    zip_fileinfo entry{};
    entry.tmz_date = ZipTime(info.st_mtime);
    // Bit 11: the name is UTF-8, so readers show "Türen.xlsx" rather than guessing a code page.
    constexpr uLong Utf8Names = 1u << 11;
    bool ok = zipOpenNewFileInZip4_64(zip, name.c_str(), &entry, nullptr, 0, nullptr, 0, nullptr,
                                      Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS,
                                      DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0, 0, Utf8Names,
                                      info.st_size >= 0xFFFFFFFFLL ? 1 : 0) == ZIP_OK;
    char buffer[65536];
    ssize_t got = 0;
    while (ok && (got = ::read(in, buffer, sizeof buffer)) > 0) {
        ok = zipWriteInFileInZip(zip, buffer, static_cast<unsigned>(got)) == ZIP_OK;
    }
    const int error = got < 0 ? errno : 0;
    ::close(in);
    ok = zipCloseFileInZip(zip) == ZIP_OK && ok;
    if (error != 0) {
        throw rtl::Exception("Cannot read " + Quoted(file.Path) +
                             " for the zip: " + std::strerror(error));
    }
    if (!ok) {
        throw rtl::Exception("Cannot write the zip " + Quoted(archive));
    }
}

} // namespace

std::string MailZipName(const std::string& taskName, rtl::TDateTime due) {
    std::string name = taskName;
    for (char& c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F ||
            std::strchr("/\\:*?\"<>|", c) != nullptr) {
            c = '_';
        }
    }
    const std::string stamp = rtl::FormatDateTimeISO(due); // "yyyy-MM-ddTHH:mm:ss"
    return name + " " + stamp.substr(0, 10) + " " + stamp.substr(11, 2) + stamp.substr(14, 2) +
           ".zip";
}

void WriteMailZip(const std::string& archive, const std::vector<TMailAttachment>& files) {
    zipFile zip = zipOpen64(archive.c_str(), APPEND_STATUS_CREATE);
    if (zip == nullptr) {
        throw rtl::Exception("Cannot write the zip " + Quoted(archive) + ": " +
                             std::strerror(errno));
    }
    try {
        std::set<std::string> taken;
        for (const TMailAttachment& file : files) {
            std::string name = file.Name;
            for (int number = 2; !taken.insert(name).second; ++number) {
                name = Numbered(file.Name, number);
            }
            AddEntry(zip, archive, file, name);
        }
    } catch (...) {
        zipClose(zip, nullptr);
        ::unlink(archive.c_str());
        throw;
    }
    if (zipClose(zip, nullptr) != ZIP_OK) {
        ::unlink(archive.c_str());
        throw rtl::Exception("Cannot write the zip " + Quoted(archive));
    }
}

} // namespace host
