#include "platform/host/delivery/MailComposition.h"

#include "platform/host/delivery/MailSummary.h"
#include "platform/host/delivery/MailZip.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/Words.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace host {

namespace {

struct TRunFile {
    TMailAttachment File;
    std::int64_t Size = 0;
};

// Every file the run wrote that is still there, in the task's order of formats.
std::vector<TRunFile> RunFiles(const TMailOrder& order) {
    std::vector<std::string> paths{order.Run.FileName};
    for (const TRunRecord& more : order.Further) {
        paths.push_back(more.Outcome == TRunOutcome::Succeeded ? more.FileName : "");
    }
    std::vector<TRunFile> files;
    for (const std::string& path : paths) {
        if (const auto facts = path.empty() ? std::nullopt : RegularFileFacts(path)) {
            files.push_back({{path, path.substr(path.rfind('/') + 1)}, facts->Size});
        }
    }
    return files;
}

std::string Joined(const std::vector<TRunFile>& files) {
    std::string out;
    for (const TRunFile& file : files) {
        out += (out.empty() ? "" : ", ") + file.File.Name;
    }
    return out;
}

// The zip in place of the files, or, when it is too large, the text's word of where they are.
std::string ZipFiles(const TMailOrder& order, const std::vector<TRunFile>& files,
                     std::int64_t limitBytes, const std::string& staging, TComposedMail& out,
                     std::string& names) {
    const rtl::TDateTime due = order.Run.Due != 0 ? order.Run.Due : order.Run.Started;
    const TMailAttachment zip{staging + "/zip", MailZipName(order.Run.TaskName, due)};
    std::vector<TMailAttachment> entries;
    for (const TRunFile& file : files) {
        entries.push_back(file.File);
    }
    WriteMailZip(zip.Path, entries);
    const auto facts = RegularFileFacts(zip.Path);
    const std::int64_t size = facts ? facts->Size : 0;
    const std::int64_t encoded = EncodedAttachmentSize(size);
    if (encoded <= limitBytes) {
        out.Mail.Attachments.push_back(zip);
        names = zip.Name + " (" + Joined(files) + ")";
        return {};
    }
    const std::string sizes = FileSizeText(size) + ", " + FileSizeText(encoded) + " encoded";
    out.Notes.push_back("\"" + zip.Name + "\" (" + sizes + ") was not attached: larger than " +
                        FileSizeText(limitBytes));
    std::string text =
        "\n" +
        rtl::Words(MORVID_WORDS("MailOrder",
                                "The zip of this run's files, %1 (%2), is larger than the "
                                "mail may carry (%3); it was not attached. The files are "
                                "at:"),
                   {zip.Name, sizes, FileSizeText(limitBytes)}) +
        "\n";
    for (const TRunFile& file : files) {
        text += file.File.Path + "\n";
    }
    return text;
}

// With the line ends mail carries: the quoted-printable encoder keeps a CRLF as a line end and
// would spell a bare LF "=0A", folding the whole page into one long encoded line.
void WriteMailText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (const char c : text) {
        if (c == '\n') {
            out << '\r';
        }
        out << c;
    }
    out.close();
    if (!out) {
        throw rtl::Exception("Cannot write the mail's HTML summary \"" + path + "\"");
    }
}

} // namespace

bool MakesFiles(const TMailOrder& order) noexcept {
    return order.Zip || order.Html;
}

TComposedMail ComposeMail(const TMailOrder& order, std::int64_t limitBytes,
                          const std::string& staging) {
    if (MakesFiles(order) && staging.empty()) {
        throw rtl::Exception("The mail of task \"" + order.Run.TaskName +
                             "\" makes files but has no folder to make them in");
    }
    TComposedMail out;
    TMailFacts facts{order.Run, order.PeriodStart, order.PeriodEnd, order.Rows, {}};
    if (const auto file = RegularFileFacts(facts.Run.FileName)) {
        facts.Run.FileSize = file->Size;
    }
    const std::vector<TRunFile> files = RunFiles(order);
    // Where the files that stayed home are; the only paths of this machine the mail names.
    std::string stayedHome;
    if (order.Zip && !files.empty()) {
        stayedHome = ZipFiles(order, files, limitBytes, staging, out, facts.Files);
    } else {
        std::int64_t budget = limitBytes;
        std::vector<TRunFile> attached;
        for (const TRunFile& file : files) {
            const std::string note = AttachWithinLimit(out.Mail, file.File, file.Size, budget);
            if (note.empty()) {
                budget -= EncodedAttachmentSize(file.Size);
                attached.push_back(file);
            } else {
                out.Notes.push_back(note);
            }
        }
        facts.Files = Joined(attached);
        stayedHome = std::move(out.Mail.Body);
    }
    const bool ownSubject = !order.Subject.empty();
    const bool ownBody = !order.Body.empty();
    out.Mail.Subject =
        ExpandMailTemplate(ownSubject ? order.Subject : rtl::Words("MailOrder", DefaultMailSubject),
                           facts, !ownSubject);
    const std::string text = ExpandMailTemplate(
        ownBody ? order.Body : rtl::Words("MailOrder", DefaultMailBody), facts, !ownBody);
    out.Mail.Body = text;
    if (!stayedHome.empty() && !text.empty() && text.back() != '\n') {
        out.Mail.Body += '\n';
    }
    out.Mail.Body += stayedHome;
    if (order.Html) {
        // The built-in text says what the table says; a task's own text is the task's message.
        std::string words = (ownBody ? text : std::string()) + stayedHome;
        words.erase(0, words.find_first_not_of('\n'));
        const TMailAttachment html{staging + "/html", HtmlBodyName};
        WriteMailText(html.Path, MailSummaryHtml(facts, words));
        out.Mail.Attachments.push_back(html);
    }
    return out;
}

TStagingFolder::TStagingFolder(const std::string& spoolFolder, bool wanted) {
    if (!wanted) {
        return;
    }
    if (::mkdir(spoolFolder.c_str(), 0700) != 0 && errno != EEXIST) {
        throw rtl::Exception("Cannot make the mail spool folder \"" + spoolFolder +
                             "\": " + std::strerror(errno));
    }
    std::string folder = spoolFolder + "/staged-XXXXXX";
    if (::mkdtemp(folder.data()) == nullptr) {
        throw rtl::Exception("Cannot make a folder in the mail spool \"" + spoolFolder +
                             "\": " + std::strerror(errno));
    }
    FPath = std::move(folder);
}

TStagingFolder::~TStagingFolder() {
    if (!FPath.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(FPath, ignored);
    }
}

} // namespace host
