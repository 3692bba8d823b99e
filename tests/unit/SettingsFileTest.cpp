#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "support/SessionFixture.h"

namespace trilo::test {
namespace {

using namespace std::string_literals;

TEST_F(SessionFixture, SettingsSaveRewritesOnlyTheValuesOfItsKeys) {
    start(
        "\xEF\xBB\xBF; bench 3\r\n[setup_prg]\r\nPORT = LPT2 \r\ncycle=0x400\r\nno equals\r\n"
        "\r\n[Mine]\r\nx=1\r\n[RUN_PRG]\r\nCPU=15\r\nnul\0byte\r\n; last words"s);
    const std::string expected =
        "\xEF\xBB\xBF; bench 3\r\n[setup_prg]\r\nPORT = LPT2\r\ncycle=1024\r\nVerMemm=1\r\n"
        "DelMemm=1\r\ninFile=1\r\ninCpu=1\r\nno equals\r\n\r\n[Mine]\r\nx=1\r\n[RUN_PRG]\r\n"
        "CPU=15\r\nFile=\r\nnul\0byte\r\n; last words"s;
    EXPECT_EQ(ini(), expected);
    EXPECT_EQ(session->engine().options().PortName, "LPT2");
    start();
    EXPECT_EQ(ini(), expected) << "a second start changes nothing";
}

// What a shell command run in dir prints.
std::string shell(const std::string& dir, const std::string& command) {
    std::string out;
    FILE* pipe = ::popen(("cd '" + dir + "' && " + command).c_str(), "r");
    char buffer[4096];
    for (std::size_t got; pipe != nullptr && (got = std::fread(buffer, 1, 4096, pipe)) > 0;) {
        out.append(buffer, got);
    }
    EXPECT_EQ(pipe != nullptr ? ::pclose(pipe) : -1, 0) << command;
    return out;
}

// Starts the program in cwd/ and changes one option, as an ordinary user: when the test runs
// as root, in a child that gives root up first, since root may read and write what a user
// may not. Returns the error boxes' texts, one a line.
std::string startAsOrdinaryUser(const TestDir& dir) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            ::_exit(2);
        }
        FakeView view;
        RecordingClock clock;
        FakePlatform platform(dir.file("cwd"));
        platform.env["XDG_RUNTIME_DIR"] = dir.file("run");
        platform.env["TMPDIR"] = dir.file("run");
        Session session(view, clock, platform, platform);
        session.handle([&] { session.FormCreate(); });
        session.handle([&] { session.mnuDLClick(); });
        std::ofstream out(dir.file("errors"));
        for (const std::string& text : view.messages(FakeView::Kind::Error)) {
            out << text << "\n";
        }
        ::_exit(out.flush() ? 0 : 3);
    }
    int status = -1;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(status, 0);
    return dir.read("errors");
}

struct RefusalCase {
    const char* name;
    const char* setup;    // shell commands in cwd/, over a programmer.ini of the user's
    const char* message;  // %s: the settings path
    const char* others;   // entries of another user (root), which only a root run can make
    int times = 2;        // at the start and at the option's save; once for a file not trusted
};

class SettingsRefusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(SettingsRefusal, SaysWhyAtEverySaveAndLeavesEverythingAsItWas) {
    const RefusalCase& c = GetParam();
    SCOPED_TRACE(c.name);
    const bool root = ::geteuid() == 0;
    if (!root && *c.others != 0) {
        GTEST_SKIP() << c.name << ": a file of another user takes root to make";
    }
    TestDir dir;
    const std::string top = dir.path().string();
    shell(top, "mkdir cwd run && printf '[SETUP_PRG]\\nPort=LPT2\\n; mine\\n' >cwd/programmer.ini");
    shell(top + "/cwd", c.setup);
    if (root) {
        shell(top, "chown -hR 65534:65534 ."s +
                       (*c.others != 0 ? " && chown -h 0:0 cwd/"s + c.others : ""));
    }
    const std::string listing = "find cwd -printf '%i %M %U %s %T@ %p %l\\n'";
    const std::string before = shell(top, listing);

    std::string message = c.message;
    if (const auto at = message.find("%s"); at != std::string::npos) {
        message.replace(at, 2, dir.file("cwd/programmer.ini"));
    }
    std::string said;
    for (int k = 0; k < c.times; ++k) {
        said += message + "\n";
    }
    EXPECT_EQ(startAsOrdinaryUser(dir), said);
    EXPECT_EQ(shell(top, listing), before);
    shell(top, "chmod -R u+rwx cwd");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SettingsRefusal,
    ::testing::Values(
        RefusalCase{"unreadable", "chmod 000 programmer.ini",
                    "Unable to read %s (Permission denied).", ""},
        RefusalCase{"read-only", "chmod 444 programmer.ini", "Unable to write to %s (read-only).",
                    ""},
        RefusalCase{"in a read-only directory", "chmod 555 .",
                    "Unable to write to %s (File access denied).", ""},
        RefusalCase{
            "of another user", "chmod 644 programmer.ini",
            "programmer.ini patří jinému uživateli nebo je zapisovatelný pro všechny; použity "
            "výchozí hodnoty",
            "programmer.ini", 1},
        RefusalCase{
            "writable by everyone", "chmod 666 programmer.ini",
            "programmer.ini patří jinému uživateli nebo je zapisovatelný pro všechny; použity "
            "výchozí hodnoty",
            "", 1},
        RefusalCase{"a link to a file that holds no settings",
                    "mv programmer.ini passwd && echo 'root:x:0:0' >passwd && ln -s passwd "
                    "programmer.ini",
                    "Unable to write to %s (a link to a file that holds no settings).", ""},
        RefusalCase{"over 1 MiB", "head -c 1048577 /dev/zero >>programmer.ini",
                    "Unable to read %s (larger than 1 MiB).", ""},
        RefusalCase{"a directory", "mkdir d && mv programmer.ini d && mv d programmer.ini",
                    "Unable to read %s (not a regular file).", ""},
        RefusalCase{
            "link to a file of another user",
            "mv programmer.ini theirs.ini && ln -s theirs.ini programmer.ini",
            "programmer.ini patří jinému uživateli nebo je zapisovatelný pro všechny; použity "
            "výchozí hodnoty",
            "theirs.ini", 1},
        RefusalCase{
            "link of another user to the user's file",
            "mv programmer.ini mine.ini && ln -s mine.ini programmer.ini",
            "programmer.ini patří jinému uživateli nebo je zapisovatelný pro všechny; použity "
            "výchozí hodnoty",
            "programmer.ini", 1},
        RefusalCase{"dangling link", "rm programmer.ini && ln -s gone.ini programmer.ini",
                    "Unable to write to %s (a link to a missing file).", ""}));

// A group-writable file of the user's own stays trusted (umask 002 makes every file so), and
// keeps its mode; what saves that died left beside it goes, whatever version named it.
TEST_F(SessionFixture, SettingsSaveWritesThroughTheUsersOwnLinkAndClearsStaleTemporaryFiles) {
    const std::string top = dir.path().string();
    shell(top,
          "mkdir conf && echo '[RUN_PRG]' >conf/mine.ini && chmod 660 conf/mine.ini && "
          "ln -s conf/mine.ini programmer.ini && head -c 99999 /dev/zero | "
          "tee conf/.mine.ini.trilo-save >conf/.trilo-save-Ab12Cd");
    start("");
    EXPECT_TRUE(startedCleanly);
    EXPECT_EQ(shell(top, "stat -c '%A' programmer.ini conf/mine.ini && ls -A conf"),
              "lrwxrwxrwx\n-rw-rw----\nmine.ini\n");
    EXPECT_EQ(dir.read("conf/mine.ini").rfind("[RUN_PRG]\nCPU=2\nFile=\n\n[SETUP_PRG]\n", 0), 0u);
}

}  // namespace
}  // namespace trilo::test
