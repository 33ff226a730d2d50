#include "io/file_sys.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "recording_log.h"
#include "core/string_buffer.h"
#include "core/system/thread_id.h"
#include "core/system/utf8.h"
#include "scratch_dir.h"

namespace quorvel {
namespace {

namespace fs = std::filesystem;
using namespace test;

// A fresh directory per test; the current directory is put back afterwards.
class FileSysTest : public ::testing::Test, protected test::ScratchDir {
protected:
    void SetUp() override { cwd = fs::current_path(); }
    void TearDown() override { fs::current_path(cwd); }

    fs::path cwd;
    FileSys files;
    RecordingLog log;
};

using Lines = std::vector<std::string>;

TEST_F(FileSysTest, WriteFileCreatesTruncatesAndReportsFailures) {
    std::u16string target = sys::fromUtf8(path("out.bin"));
    // A shorter write truncates; a count of 0 or no bytes leaves an empty file.
    for (auto [bytes, n] : {std::pair{"a\0b\n", 4u}, {"z", 1u}, {nullptr, 5u}}) {
        ASSERT_TRUE(files.writeFile(target.c_str(), bytes, n, &log)) << n;
        EXPECT_EQ(slurp(path("out.bin")), bytes ? std::string(bytes, n) : "") << n;
    }
    // Null and empty paths fail silently; a directory or a missing directory fails with both messages.
    EXPECT_FALSE(files.writeFile(nullptr, "a", 1, &log) || files.writeFile(u"", "a", 1, &log));
    EXPECT_TRUE(log.lines.empty());
    for (const std::string& bad : {dir.string(), path("missing/sub/out.bin")}) {
        EXPECT_FALSE(files.writeFile(sys::fromUtf8(bad).c_str(), "a", 1, &log)) << bad;
        EXPECT_EQ(log.lines.size(), 2u) << bad;  // the system's reason, then ours
        EXPECT_EQ(log.takeLast(), "E:Failed to open/create file for writing");
    }
    if (fs::exists("/dev/full")) {  // a full device: the write falls short
        std::string big(1 << 16, 'q');
        EXPECT_FALSE(files.writeFile(u"/dev/full", big.data(), static_cast<uint32_t>(big.size()), &log));
        EXPECT_EQ(log.takeLast(), "E:Failed to write complete file");
    }
}

TEST_F(FileSysTest, DeleteFile) {
    spill(path("here.txt"), "x");
    EXPECT_TRUE(files.deleteFile(path("here.txt").c_str(), &log));
    EXPECT_FALSE(fs::exists(path("here.txt")));
    EXPECT_TRUE(log.lines.empty());
    EXPECT_FALSE(files.deleteFile(path("gone.txt").c_str(), &log));
    EXPECT_EQ(log.take(), (Lines{"D:delete_filename=" + path("gone.txt"), "D:fail_reason=No such file or directory",
                                 "I:Cannot delete file, file does not exist"}));
    for (const char* empty : {static_cast<const char*>(nullptr), ""}) {
        EXPECT_FALSE(files.deleteFile(empty, &log));
        EXPECT_EQ(log.take(), Lines{"E:Cannot delete file, filename is null or empty"});
    }
}

TEST_F(FileSysTest, UniqueNamesSkipExistingCandidates) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%x", sys::currentThreadId());
    const std::string d = dir.string(), report = std::string("report") + hex;
    StringBuffer out;
    auto unique = [&](const char* name, const std::string& directory) {
        EXPECT_TRUE(files.uniqueFileName(name, directory.c_str(), out));
        return std::string(out.view());
    };
    EXPECT_EQ(unique("report", d), d + "/report.tmp");
    spill(path("report.tmp"), "x");
    EXPECT_EQ(unique("report", d), d + "/" + report + "_2.tmp");
    spill(path(report + "_2.tmp"), "x");
    EXPECT_EQ(unique("report", d), d + "/" + report + "_3.tmp");
    spill(path("a.b.c"), "x");
    EXPECT_EQ(unique("a.b.c", d), d + "/a.b" + hex + "_2.c");
    EXPECT_EQ(unique("x", "dir\\"), "dir\\x.tmp");  // '\' counts as a separator: none is added
    const char* saved = std::getenv("TMPDIR");
    const std::string old = saved ? saved : "";
    setenv("TMPDIR", (d + "/").c_str(), 1);  // its trailing separator is not doubled
    ASSERT_TRUE(files.tempFileName("qv_probe_name", out));
    EXPECT_EQ(std::string(out.view()).rfind(d + "/qv_probe_name", 0), 0u) << out.data();
    saved ? setenv("TMPDIR", old.c_str(), 1) : unsetenv("TMPDIR");
    EXPECT_FALSE(fs::exists(out.data()));
}

TEST_F(FileSysTest, OpenForWriteClearsReadOnlyFiles) {
    spill(path("ro.txt"), "old");
    fs::permissions(path("ro.txt"), fs::perms::owner_read);
    {
        OpenFile f = files.openForWrite(path("ro.txt").c_str(), "wb");  // deleted and created afresh
        ASSERT_TRUE(f);
        std::fputs("new", f.get());
    }
    EXPECT_EQ(slurp(path("ro.txt")), "new");
}

TEST_F(FileSysTest, CreateFileWithPathMakesDirectoriesAndNeverMovesTheProcess) {
    // Doubled and backslash separators; relative to the current directory; neither success nor
    // failure changes the current directory.
    ASSERT_TRUE(files.createFileWithPath(path("a/b\\c//d/file.txt").c_str(), "wb", &log));
    EXPECT_TRUE(fs::is_regular_file(dir / "a" / "b" / "c" / "d" / "file.txt"));
    fs::current_path(dir);
    ASSERT_TRUE(files.createFileWithPath("rel/x/file.txt", "wb", &log));
    EXPECT_TRUE(fs::is_regular_file(dir / "rel" / "x" / "file.txt"));
    EXPECT_TRUE(log.lines.empty());
    EXPECT_EQ(fs::current_path(), dir);

    // Without a separator, in a mode that cannot create; a directory name; a file in the way.
    EXPECT_FALSE(files.createFileWithPath("plainname", "rb", &log));
    EXPECT_EQ(log.take(), Lines{"E:Failed to create file (A)"});
    EXPECT_FALSE(files.createFileWithPath(path("dir/").c_str(), "wb", &log));
    EXPECT_EQ(log.takeLast(), "E:Failed to create file (B)");
    spill(path("blocker"), "x");
    EXPECT_FALSE(files.createFileWithPath(path("blocker/x/file.txt").c_str(), "wb", &log));
    EXPECT_EQ(log.take(), (Lines{"E:Failed to create directory", "D:path=blocker", "E:CreateDirectory: File exists",
                                 "E:Failed to create file (C)"}));
    EXPECT_EQ(fs::current_path(), dir);
}

}  // namespace
}  // namespace quorvel
