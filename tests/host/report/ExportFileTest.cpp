#include "platform/host/report/ExportFile.h"

#include "ReportTestSupport.h"

#include <cerrno>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

using host::EExportError;
using host::TExportFile;
using reporttest::ReadFile;
using reporttest::TScratchDir;
using testing::ElementsAre;
using testing::HasSubstr;

class ExportFileTest : public testing::Test {
protected:
    void TearDown() override { host::SetExportWriteFault(0, 0); }
    TScratchDir Dir;
};

TEST_F(ExportFileTest, NothingAppearsUnderTheTargetNameBeforeCommit) {
    const std::string target = Dir.File("out.txt");
    TExportFile file(target);
    file.Write("hello");
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_EQ(std::filesystem::path(file.TempFileName()).parent_path(), Dir.Path());
    file.Commit();
    EXPECT_EQ(ReadFile(target), "hello");
    EXPECT_THAT(Dir.Entries(), ElementsAre("out.txt"));
}

TEST_F(ExportFileTest, CommitReplacesAnOlderFileWhole) {
    const std::string target = Dir.File("out.txt");
    {
        TExportFile file(target);
        file.Write(std::string(200'000, 'a'));
        file.Commit();
    }
    TExportFile file(target);
    file.Write("short");
    file.Commit();
    EXPECT_EQ(ReadFile(target), "short");
}

TEST_F(ExportFileTest, AbandonedFileLeavesNothingBehind) {
    {
        TExportFile file(Dir.File("out.txt"));
        file.Write(std::string(100'000, 'x')); // past the buffer: bytes reached the disk
    }
    EXPECT_TRUE(Dir.Entries().empty());
}

TEST_F(ExportFileTest, ExportIsReadableByOthersLikeAnyDocument) {
    const std::string target = Dir.File("out.txt");
    TExportFile file(target);
    file.Commit();
    struct stat info {};
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    const mode_t mask = umask(022);
    umask(mask);
    EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);
}

// A disk error on the nth low-level write: the first write of a large export, a write in the
// middle, the last flush at commit.
TEST_F(ExportFileTest, DiskErrorOnAnyWriteLeavesNoFileAndNamesIt) {
    struct Case {
        int FailingWrite;
        std::size_t Bytes;
    };
    for (const Case c : {Case{1, 10}, Case{1, 300'000}, Case{3, 300'000}, Case{5, 300'000}}) {
        SCOPED_TRACE(testing::Message() << "write " << c.FailingWrite << " of " << c.Bytes);
        const std::string target = Dir.File("report.csv");
        host::SetExportWriteFault(c.FailingWrite, ENOSPC);
        try {
            TExportFile file(target);
            for (std::size_t done = 0; done < c.Bytes; done += 1000) {
                file.Write(std::string(std::min<std::size_t>(1000, c.Bytes - done), 'z'));
            }
            file.Commit();
            ADD_FAILURE() << "no error";
        } catch (const EExportError& e) {
            EXPECT_THAT(e.Message(), HasSubstr("\"" + target + "\""));
            EXPECT_THAT(e.Message(), HasSubstr("No space left on device"));
        }
        EXPECT_GE(host::ExportWriteCount(), c.FailingWrite);
        EXPECT_TRUE(Dir.Entries().empty());
    }
}

TEST_F(ExportFileTest, WritesAfterAFailedTryWriteAreRefusedAndCommitReportsTheFirstCause) {
    const std::string target = Dir.File("x.bin");
    TExportFile file(target);
    host::SetExportWriteFault(1, EIO);
    EXPECT_FALSE(file.TryWrite(std::string(70'000, 'q')));
    EXPECT_TRUE(file.Failed());
    host::SetExportWriteFault(0, 0);
    EXPECT_FALSE(file.TryWrite("more"));
    try {
        file.Commit();
        ADD_FAILURE() << "no error";
    } catch (const EExportError& e) {
        EXPECT_EQ(e.Message(), "Cannot write file \"" + target + "\": Input/output error");
    }
    EXPECT_TRUE(Dir.Entries().empty());
}

// Whether the bytes to replace are still buffered, already on disk, or both, the file ends up
// with the new bytes in place and nothing else changed, and Position keeps counting.
TEST_F(ExportFileTest, OverwriteReplacesBytesWhereverTheyAre) {
    struct Case {
        std::size_t Before; // bytes written before the overwrite
        std::size_t Offset;
    };
    for (const Case c :
         {Case{100, 10}, Case{200'000, 10}, Case{200'000, 131'070}, Case{200'000, 199'996}}) {
        SCOPED_TRACE(testing::Message() << c.Before << " bytes, at " << c.Offset);
        const std::string target = Dir.File("patched.bin");
        TExportFile file(target);
        file.Write(std::string(c.Before, 'a'));
        file.Overwrite(c.Offset, "WXYZ");
        file.Write("tail");
        EXPECT_EQ(file.Position(), c.Before + 4);
        file.Commit();
        std::string expected(c.Before, 'a');
        expected.replace(c.Offset, 4, "WXYZ");
        EXPECT_EQ(ReadFile(target), expected + "tail");
    }
    TExportFile file(Dir.File("short.bin"));
    file.Write("abc");
    EXPECT_THROW(file.Overwrite(1, "xyz"), EExportError);
}

TEST_F(ExportFileTest, UnusableTargetsAreRefusedUpFront) {
    struct Case {
        std::string Target;
        std::string Reason;
    };
    const Case cases[] = {
        {Dir.File("missing/out.txt"), "No such file or directory"},
        {"", "no file name given"},
        {Dir.File("folder/"), "the name is a folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Target);
        try {
            TExportFile file(c.Target);
            ADD_FAILURE() << "no error";
        } catch (const EExportError& e) {
            EXPECT_THAT(e.Message(), HasSubstr("\"" + c.Target + "\""));
            EXPECT_THAT(e.Message(), HasSubstr(c.Reason));
        }
    }
}

TEST_F(ExportFileTest, CommitOntoAFolderFailsAndKeepsTheFolder) {
    const std::string target = Dir.File("taken");
    std::filesystem::create_directory(target);
    std::filesystem::create_directory(target + "/inside");
    TExportFile file(target);
    file.Write("data");
    EXPECT_THROW(file.Commit(), EExportError);
    EXPECT_THAT(Dir.Entries(), ElementsAre("taken"));
    EXPECT_TRUE(std::filesystem::is_directory(target + "/inside"));
}

} // namespace
