#include "platform/host/report/ZipPackage.h"

#include "platform/host/report/ExportFile.h"

#include <algorithm>
#include <exception>
#include <limits>
#include <minizip/zip.h>

namespace host {

struct TZipPackage::TSink {
    TExportFile& File;
    std::uint64_t Position; // where the library writes next
    std::exception_ptr Error;
    bool EntryOpen = false;
};

namespace {

// Entries are written without zip64 fields, as office packages are, so each stays below 4 GiB.
constexpr std::uint64_t MaxEntrySize = std::numeric_limits<std::uint32_t>::max() - 1;

TZipPackage::TSink& Sink(voidpf opaque) {
    return *static_cast<TZipPackage::TSink*>(opaque);
}

voidpf ZCALLBACK OpenFile(voidpf opaque, const void*, int) {
    return opaque;
}

uLong ZCALLBACK ReadFile(voidpf, voidpf, void*, uLong) {
    return 0; // the archive is only ever written
}

// Appends at the end; the library writes below the end only to fill in an entry's header.
uLong ZCALLBACK WriteFile(voidpf opaque, voidpf, const void* data, uLong size) {
    TZipPackage::TSink& sink = Sink(opaque);
    try {
        const std::string_view bytes(static_cast<const char*>(data), size);
        if (sink.Position == sink.File.Position()) {
            sink.File.Write(bytes);
        } else {
            sink.File.Overwrite(sink.Position, bytes);
        }
        sink.Position += size;
        return size;
    } catch (...) {
        if (!sink.Error) {
            sink.Error = std::current_exception();
        }
        return 0;
    }
}

ZPOS64_T ZCALLBACK TellFile(voidpf opaque, voidpf) {
    return Sink(opaque).Position;
}

long ZCALLBACK SeekFile(voidpf opaque, voidpf, ZPOS64_T offset, int origin) {
    TZipPackage::TSink& sink = Sink(opaque);
    std::uint64_t base = 0;
    if (origin == ZLIB_FILEFUNC_SEEK_CUR) {
        base = sink.Position;
    } else if (origin == ZLIB_FILEFUNC_SEEK_END) {
        base = sink.File.Position();
    }
    if (base + offset > sink.File.Position()) {
        return -1;
    }
    sink.Position = base + offset;
    return 0;
}

int ZCALLBACK CloseFile(voidpf, voidpf) {
    return 0;
}

int ZCALLBACK FileError(voidpf opaque, voidpf) {
    return Sink(opaque).Error ? 1 : 0;
}

tm_zip ZipTime(rtl::TDateTime value) {
    rtl::TDecodedDateTime time = rtl::DecodeDateTime(value);
    if (time.Year < 1980) {
        time = {1980, 1, 1, 0, 0, 0, 0};
    }
    tm_zip zipTime{};
    zipTime.tm_year = uInt(time.Year);
    zipTime.tm_mon = uInt(time.Month - 1);
    zipTime.tm_mday = uInt(time.Day);
    zipTime.tm_hour = uInt(time.Hour);
    zipTime.tm_min = uInt(time.Minute);
    zipTime.tm_sec = uInt(time.Second);
    return zipTime;
}

} // namespace

TZipPackage::TZipPackage(TExportFile& file, rtl::TDateTime modified)
    : FSink(new TSink{file, file.Position(), nullptr}), FModified(modified) {
    zlib_filefunc64_def functions{};
    functions.zopen64_file = OpenFile;
    functions.zread_file = ReadFile;
    functions.zwrite_file = WriteFile;
    functions.ztell64_file = TellFile;
    functions.zseek64_file = SeekFile;
    functions.zclose_file = CloseFile;
    functions.zerror_file = FileError;
    functions.opaque = FSink.get();
    FZip = zipOpen2_64(FSink.get(), APPEND_STATUS_CREATE, nullptr, &functions);
    if (FZip == nullptr) {
        FSink->File.Fail("cannot start the zip archive");
    }
    FWorker = std::thread([this] { RunSteps(); });
}

TZipPackage::~TZipPackage() {
    {
        std::lock_guard lock(FLock);
        FStop = true;
        FSteps.clear();
    }
    FChanged.notify_all();
    FWorker.join();
    if (FZip != nullptr) {
        // Only frees the library's state: the file is being discarded.
        zipClose(FZip, nullptr);
    }
}

void TZipPackage::RunSteps() {
    std::unique_lock lock(FLock);
    while (true) {
        FChanged.wait(lock, [this] { return FStop || !FSteps.empty(); });
        if (FStop) {
            return;
        }
        std::function<void()> step = std::move(FSteps.front());
        FSteps.pop_front();
        FRunning = true;
        lock.unlock();
        std::exception_ptr failure;
        try {
            step();
        } catch (...) {
            failure = std::current_exception();
        }
        step = nullptr; // frees the step's buffer outside the lock
        lock.lock();
        FRunning = false;
        if (failure && !FFailure) {
            FFailure = failure;
        }
        if (FFailure) {
            FSteps.clear(); // nothing after a failure can make a sound archive
        }
        FChanged.notify_all();
    }
}

void TZipPackage::Post(std::function<void()> step) {
    std::unique_lock lock(FLock);
    // Four buffers in waiting keep the compressor busy without the memory growing.
    FChanged.wait(lock, [this] { return FSteps.size() < 4 || FFailure; });
    if (FFailure) {
        std::rethrow_exception(FFailure);
    }
    FSteps.push_back(std::move(step));
    FChanged.notify_all();
}

void TZipPackage::Drain() {
    std::unique_lock lock(FLock);
    FChanged.wait(lock, [this] { return (FSteps.empty() && !FRunning) || FFailure; });
    if (FFailure) {
        std::rethrow_exception(FFailure);
    }
}

void TZipPackage::Check(int result, const char* operation) {
    if (FSink->Error) {
        std::rethrow_exception(FSink->Error);
    }
    if (result != ZIP_OK) {
        FSink->File.Fail(std::string("the zip library failed to ") + operation + " (error " +
                         std::to_string(result) + ")");
    }
}

void TZipPackage::BeginEntry(const std::string& name, TMethod method) {
    FEntryOpen = true;
    FEntrySize = 0;
    Post([this, name, method] {
        CloseEntry();
        zip_fileinfo info{};
        info.tmz_date = ZipTime(FModified);
        const bool deflate = method == TMethod::Deflated;
        // Level 1 deflates an XML table about twentyfold, at a fraction of the default's cost.
        Check(zipOpenNewFileInZip4_64(FZip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                      deflate ? Z_DEFLATED : 0, deflate ? 1 : 0, 0, -MAX_WBITS,
                                      DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0, 0, 0, 0),
              "start an entry");
        FSink->EntryOpen = true;
    });
}

void TZipPackage::Write(std::string data) {
    if (!FEntryOpen) {
        FSink->File.Fail("zip data written outside an entry");
    }
    FEntrySize += data.size();
    if (FEntrySize > MaxEntrySize) {
        FSink->File.Fail("the report is too large for a zip entry (4 GiB)");
    }
    Post([this, data = std::move(data)] {
        std::string_view rest = data;
        while (!rest.empty()) {
            const unsigned chunk =
                unsigned(std::min<std::size_t>(rest.size(), std::numeric_limits<int>::max()));
            Check(zipWriteInFileInZip(FZip, rest.data(), chunk), "write an entry");
            rest.remove_prefix(chunk);
        }
    });
}

void TZipPackage::CloseEntry() {
    if (FSink->EntryOpen) {
        FSink->EntryOpen = false;
        Check(zipCloseFileInZip(FZip), "close an entry");
    }
}

void TZipPackage::Finish() {
    FEntryOpen = false;
    Post([this] {
        CloseEntry();
        void* zip = FZip;
        FZip = nullptr;
        Check(zipClose(zip, nullptr), "finish the archive");
    });
    Drain();
}

} // namespace host
