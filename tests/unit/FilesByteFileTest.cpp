#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "files/ByteFile.h"
#include "files/IoErrors.h"
#include "support/TestDir.h"

namespace trilo::test {
namespace {

TEST(FilesIoErrors, ErrnoMapsOntoTheTable) {
    struct Case {
        int err;
        int code;
        std::string text;
    };
    const std::vector<Case> cases = {
        {ENOENT, 2, "File not found"},
        {ENOTDIR, 3, "Invalid filename"},
        {ENAMETOOLONG, 3, "Invalid filename"},
        {EISDIR, 3, "Invalid filename"},
        {EMFILE, 4, "Too many open files"},
        {ENFILE, 4, "Too many open files"},
        {EACCES, 5, "File access denied"},
        {EPERM, 5, "File access denied"},
        {EROFS, 5, "File access denied"},
        {ENOSPC, 101, "Disk full"},
        {EDQUOT, 101, "Disk full"},
        // Causes outside the table keep their number, also where it equals a table code.
        {EIO, EIO, "I/O error 5"},
        {EINTR, EINTR, "I/O error 4"},
        {ESRCH, ESRCH, "I/O error 3"},
        {ENETDOWN, ENETDOWN, "I/O error 100"},
        {ENETUNREACH, ENETUNREACH, "I/O error 101"},
        {EBADF, EBADF, "I/O error 9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.err);
        const IoError error = ioErrorFromErrno(c.err);
        EXPECT_EQ(error.code(), c.code);
        EXPECT_EQ(std::string(error.what()), c.text);
    }
}

// The text an IoError raised by `action` carries, or "" when none is raised.
template <typename F>
std::string ioErrorText(F&& action) {
    try {
        action();
    } catch (const IoError& error) {
        return error.what();
    }
    return "";
}

TEST(FilesByteFile, FailingCallsRaiseTheirTableError) {
    TestDir dir;
    dir.write("data.bin", "xy");
    std::filesystem::create_directory(dir.path() / "folder");
    const std::string longName = dir.file(std::string(300, 'a'));
    // Nobody writes into these: an open that waited for a writer would never return.
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    const std::string pipe = "/proc/self/fd/" + std::to_string(pipeEnds[0]);
    struct Case {
        const char* what;
        std::function<void(ByteFile&)> action;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"open missing", [&](ByteFile& f) { f.openRead(dir.file("missing.bin")); },
         "File not found"},
        {"create in missing dir", [&](ByteFile& f) { f.create(dir.file("nodir/x.bin")); },
         "File not found"},
        {"open through a file", [&](ByteFile& f) { f.openRead(dir.file("data.bin/x")); },
         "Invalid filename"},
        {"create through a file", [&](ByteFile& f) { f.create(dir.file("data.bin/x")); },
         "Invalid filename"},
        {"open a directory", [&](ByteFile& f) { f.openRead(dir.file("folder")); },
         "Invalid filename"},
        {"create a directory", [&](ByteFile& f) { f.create(dir.file("folder")); },
         "Invalid filename"},
        {"name too long", [&](ByteFile& f) { f.openRead(longName); }, "Invalid filename"},
        {"open a FIFO", [&](ByteFile& f) { f.openRead(dir.file("fifo")); }, "Invalid filename"},
        {"open a pipe", [&](ByteFile& f) { f.openRead(pipe); }, "Invalid filename"},
        {"open a device", [&](ByteFile& f) { f.openRead("/dev/zero"); }, "Invalid filename"},
        {"read past the end",
         [&](ByteFile& f) {
             f.openRead(dir.file("data.bin"));
             f.readByte();
             f.readByte();
             f.readByte();
         },
         "Read beyond end of file"},
        {"write to a full disk",
         [&](ByteFile& f) {
             f.create("/dev/full");
             f.writeByte(0x12);
             f.close();
         },
         "Disk full"},
        {"read a file opened for writing",
         [&](ByteFile& f) {
             f.create(dir.file("w.bin"));
             f.readByte();
         },
         "I/O error 104"},
        {"write a file opened for reading",
         [&](ByteFile& f) {
             f.openRead(dir.file("data.bin"));
             f.writeByte(1);
         },
         "I/O error 105"},
        {"read with nothing open", [&](ByteFile& f) { f.readByte(); }, "I/O error 103"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ByteFile file;
        EXPECT_EQ(ioErrorText([&] { c.action(file); }), c.text);
    }
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
}

TEST(FilesByteFile, FullDiskFoundWhenTheBufferFillsMidWrite) {
    ByteFile file;
    file.create("/dev/full");
    const std::string text = ioErrorText([&] {
        for (std::size_t k = 0; k <= ByteFile::kBufferSize; ++k) {
            file.writeByte(0);
        }
    });
    EXPECT_EQ(text, "Disk full");
    file.closeQuietly();
    EXPECT_FALSE(file.isOpen());
}

TEST(FilesByteFile, WritesAndReadsBackEveryByteInOrder) {
    TestDir dir;
    const std::string path = dir.file("image.bin");
    std::vector<std::uint8_t> data(70000);
    for (std::size_t k = 0; k < data.size(); ++k) {
        data[k] = static_cast<std::uint8_t>((k * 7 + k / 256) & 0xFF);
    }
    ByteFile file;
    file.create(path);
    for (std::uint8_t b : data) {
        file.writeByte(b);
    }
    EXPECT_EQ(file.size(), 70000);
    file.close();
    EXPECT_EQ(std::filesystem::file_size(path), 70000u);

    file.openRead(path);
    EXPECT_EQ(file.size(), 70000);
    std::vector<std::uint8_t> back;
    for (std::size_t k = 0; k < data.size(); ++k) {
        back.push_back(file.readByte());
    }
    EXPECT_EQ(back, data);
    EXPECT_EQ(ioErrorText([&] { file.readByte(); }), "Read beyond end of file");
    file.close();
}

TEST(FilesByteFile, CreateEmptiesAnExistingFile) {
    TestDir dir;
    dir.write("old.bin", "0123456789");
    ByteFile file;
    file.create(dir.file("old.bin"));
    file.writeByte('A');
    file.close();
    EXPECT_EQ(dir.read("old.bin"), "A");
}

TEST(FilesByteFile, A32KiBFileCostsAHandfulOfCalls) {
    TestDir dir;
    ByteFile file;
    file.create(dir.file("flash.bin"));
    for (int k = 0; k < 32768; ++k) {
        file.writeByte(static_cast<std::uint8_t>(k));
    }
    file.close();
    EXPECT_LE(file.transferCalls(), 2u);

    const auto before = file.transferCalls();
    file.openRead(dir.file("flash.bin"));
    for (int k = 0; k < 32768; ++k) {
        ASSERT_EQ(file.readByte(), static_cast<std::uint8_t>(k));
    }
    file.close();
    EXPECT_LE(file.transferCalls() - before, 2u);
}

TEST(FilesByteFile, OpeningAnotherFileClosesTheFirstWithItsData) {
    TestDir dir;
    dir.write("in.bin", "Q");
    ByteFile file;
    file.create(dir.file("out.bin"));
    file.writeByte('Z');
    file.openRead(dir.file("in.bin"));
    EXPECT_EQ(dir.read("out.bin"), "Z");
    EXPECT_EQ(file.readByte(), 'Q');
    file.close();
    EXPECT_FALSE(file.isOpen());
    file.close();  // closing twice is harmless
}

TEST(FilesByteFile, CreateDoesNotWriteThroughALink) {
    TestDir dir;
    dir.write("victim", "keep");
    std::filesystem::create_symlink(dir.file("victim"), dir.file("tmpprgrmr.tmp"));
    ByteFile file;
    EXPECT_NE(ioErrorText([&] { file.create(dir.file("tmpprgrmr.tmp")); }), "");
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(dir.read("victim"), "keep");
}

TEST(FilesByteFile, NewFilesGetTheUsualModeNotAPrivateOne) {
    TestDir dir;
    const mode_t mask = ::umask(022);
    ByteFile file;
    file.create(dir.file("n.bin"));
    file.close();
    ::umask(mask);
    struct stat st {};
    ASSERT_EQ(::stat(dir.file("n.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

}  // namespace
}  // namespace trilo::test
