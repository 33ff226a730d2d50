#include "io/file_sys.h"

#include <gtest/gtest.h>

#include <cstdio>
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
        ASSERT_EQ(log.lines.size(), 2u) << bad;
        EXPECT_GT(log.lines[0].size(), 2u);  // the system's reason
        EXPECT_EQ(log.take()[1], "E:Failed to open/create file for writing");
    }
    if (fs::exists("/dev/full")) {  // a full device: the write falls short
        std::string big(1 << 16, 'q');
        EXPECT_FALSE(files.writeFile(u"/dev/full", big.data(), static_cast<uint32_t>(big.size()), &log));
        ASSERT_EQ(log.lines.size(), 2u);
        EXPECT_EQ(log.take()[1], "E:Failed to write complete file");
    }
}

TEST_F(FileSysTest, ExistsAndDelete) {
    spill(path("here.txt"), "x");
    StringBuffer reason;
    EXPECT_FALSE(files.fileExists(dir.c_str(), reason));  // a directory is no file
    EXPECT_FALSE(reason.empty());

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
    EXPECT_FALSE(files.deleteFile(path("gone.txt").c_str(), nullptr));  // no log: nothing logged, no crash
}

TEST_F(FileSysTest, UniqueNamesSkipExistingCandidates) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%x", sys::currentThreadId());
    const std::string d = dir.string(), report = std::string("report") + hex;
    StringBuffer out;
    struct Case {
        const char* name;
        std::string directory;
        Lines existing;
        std::string expected;
    };
    // A directory that already ends in a separator gets none added; '\' counts as one too.
    const std::vector<Case> cases = {
        {"report", d, {}, d + "/report.tmp"},
        {"report", d, {"report.tmp"}, d + "/" + report + "_2.tmp"},
        {"report", d, {"report.tmp", report + "_2.tmp"}, d + "/" + report + "_3.tmp"},
        {"a.b.c", d, {"a.b.c"}, d + "/a.b" + hex + "_2.c"},
        {"plain.txt", d, {}, d + "/plain.txt"},
        {"x", "dir\\", {}, "dir\\x.tmp"},
    };
    for (const Case& c : cases) {
        for (const std::string& e : c.existing) spill(path(e), "x");
        ASSERT_TRUE(files.uniqueFileName(c.name, c.directory.c_str(), out));
        EXPECT_EQ(std::string(out.view()), c.expected) << c.name;
        for (const std::string& e : c.existing) fs::remove(path(e));
    }
    ASSERT_TRUE(files.tempFileName("qv_probe_name", out));
    EXPECT_EQ(std::string(out.view()).rfind(fs::temp_directory_path().string() + "/qv_probe_name", 0), 0u) << out.data();
    EXPECT_FALSE(fs::exists(out.data()));
}

TEST_F(FileSysTest, DirectoriesAreEnteredOrCreated) {
    fs::current_path(dir);
    EXPECT_TRUE(files.enterOrCreateDirectory("one", &log));
    EXPECT_EQ(fs::current_path(), dir / "one");
    fs::current_path(dir);
    EXPECT_TRUE(files.enterOrCreateDirectory("one", &log));  // exists: just entered
    EXPECT_TRUE(log.lines.empty());
    for (const char* bad : {static_cast<const char*>(nullptr), "a\\b"}) {
        EXPECT_FALSE(files.enterOrCreateDirectory(bad, &log));
        EXPECT_EQ(log.take(), (Lines{"I:Cannot set directory, bad path", std::string("D:path=") + (bad ? bad : "null")}));
    }
    // A file in the way cannot become a directory.
    fs::current_path(dir);
    spill(path("blocker"), "x");
    EXPECT_FALSE(files.enterOrCreateDirectory("blocker", &log));
    EXPECT_EQ(log.take(), (Lines{"E:Failed to create directory", "D:path=blocker", "E:CreateDirectory: File exists"}));

    // Absolute, relative, doubled and backslash separators.
    EXPECT_TRUE(files.enterDirectoryPath(path("p/q//r").c_str(), &log));
    EXPECT_EQ(fs::current_path(), dir / "p" / "q" / "r");
    fs::current_path(dir);
    EXPECT_TRUE(files.enterDirectoryPath("s\\t/u", &log));
    EXPECT_EQ(fs::current_path(), dir / "s" / "t" / "u");
    EXPECT_TRUE(log.lines.empty());
    EXPECT_FALSE(files.enterDirectoryPath(path("blocker/below").c_str(), &log));
}

TEST_F(FileSysTest, OpenForWriteClearsReadOnlyFiles) {
    auto write = [&](const char* mode, const char* bytes) {
        fs::permissions(path("ro.txt"), fs::perms::owner_read);
        OpenFile f = files.openForWrite(path("ro.txt").c_str(), mode);
        ASSERT_TRUE(f) << mode;
        std::fputs(bytes, f.get());
    };
    spill(path("ro.txt"), "old");
    write("wb", "new");  // deleted and created afresh
    EXPECT_EQ(slurp(path("ro.txt")), "new");
    write("ab", "+");  // the attribute cleared instead, the content kept
    EXPECT_EQ(slurp(path("ro.txt")), "new+");
    EXPECT_FALSE(files.openForWrite(path("none.txt").c_str(), "rb"));  // read modes create nothing
}

TEST_F(FileSysTest, CreateFileWithPathMakesDirectories) {
    ASSERT_TRUE(files.createFileWithPath(path("a/b\\c/file.txt").c_str(), "wb", &log));
    EXPECT_EQ(fs::current_path(), cwd);  // put back on success
    EXPECT_TRUE(log.lines.empty());
    EXPECT_TRUE(fs::is_regular_file(dir / "a" / "b" / "c" / "file.txt"));

    spill(path("blocker"), "x");
    const std::vector<std::pair<std::string, const char*>> cases = {
        {path("dir/"), "E:Failed to create file (B)"},
        {path("blocker/x/file.txt"), "E:Failed to create file (C)"},
    };
    // Without a separator and in a mode that cannot create, there is no directory part to make.
    log.lines.clear();
    EXPECT_FALSE(files.createFileWithPath("plainname", "rb", &log));
    EXPECT_EQ(log.lines, std::vector<std::string>{"E:Failed to create file (A)"});
    for (const auto& [p, message] : cases) {
        log.lines.clear();
        EXPECT_FALSE(files.createFileWithPath(p.c_str(), "wb", &log));
        ASSERT_FALSE(log.lines.empty());
        EXPECT_EQ(log.lines.back(), message);
        fs::current_path(cwd);
    }
}

}  // namespace
}  // namespace quorvel
