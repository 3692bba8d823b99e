#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "data/FileMove.h"
#include "support/SessionFixture.h"

namespace trilo::test {
namespace {

namespace fs = std::filesystem;

// ---- Every byte a save does not own stays ------------------------------------------------

TEST_F(SessionFixture, SettingsSaveRewritesOnlyTheValuesOfItsKeys) {
    using namespace std::string_literals;
    start(
        "\xEF\xBB\xBF; bench 3\r\n[setup_prg]\r\nPORT = LPT2 \r\ncycle=0x400\r\nno equals\r\n"
        "\r\n[Mine]\r\nx=1\r\n[RUN_PRG]\r\nCPU=15\r\nnul\0byte\r\n; last words"s);
    const std::string expected =
        "\xEF\xBB\xBF; bench 3\r\n[setup_prg]\r\nPORT = LPT2\r\ncycle=1024\r\nVerMemm=1\r\n"
        "DelMemm=1\r\ninFile=1\r\ninCpu=1\r\nno equals\r\n\r\n[Mine]\r\nx=1\r\n[RUN_PRG]\r\n"
        "CPU=15\r\nFile=\r\nnul\0byte\r\n; last words"s;
    EXPECT_EQ(ini(), expected);
    EXPECT_EQ(session->PortName, "LPT2");
    start();
    EXPECT_EQ(ini(), expected) << "a second start changes nothing";
}

// ---- Files a save must not replace -----------------------------------------------------

// What a file looks like from outside: a save that left it alone changes none of it.
std::map<std::string, std::string> snapshot(const fs::path& dir) {
    std::map<std::string, std::string> out;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        struct stat st {};
        ::lstat(entry.path().c_str(), &st);
        std::string& what = out[entry.path().lexically_relative(dir).string()];
        what = std::to_string(st.st_mode) + " " + std::to_string(st.st_uid) + " " +
               std::to_string(st.st_ino) + " " + std::to_string(st.st_size) + " " +
               std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
        if (S_ISLNK(st.st_mode)) {
            what += " -> " + fs::read_symlink(entry.path()).string();
        }
    }
    return out;
}

constexpr uid_t kOrdinaryUser = 65534;  // nobody

// Starts the program in cwd and changes one option, as an ordinary user: as root, in a child
// that gives up root first, since root may read and write what a user may not. Returns the
// error boxes shown.
std::string startAsOrdinaryUser(const std::string& cwd, const std::string& runtime) {
    int pipeFds[2];
    EXPECT_EQ(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(kOrdinaryUser) != 0 ||
                                 ::setuid(kOrdinaryUser) != 0)) {
            ::_exit(2);
        }
        FakeView view;
        RecordingClock clock;
        FakePlatform platform(cwd);
        platform.env["XDG_RUNTIME_DIR"] = runtime;
        Session session(view, clock, platform, platform);
        session.handle([&] { session.FormCreate(); });
        session.handle([&] { session.mnuDLClick(); });
        std::string errors;
        for (const std::string& text : view.messages(FakeView::Kind::Error)) {
            errors += text + "\n";
        }
        const bool written = ::write(pipeFds[1], errors.data(), errors.size()) ==
                             static_cast<ssize_t>(errors.size());
        ::_exit(written ? 0 : 3);
    }
    ::close(pipeFds[1]);
    std::string errors;
    char buffer[512];
    for (ssize_t got; (got = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
        errors.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    return errors;
}

struct RefusalCase {
    const char* name;
    void (*setup)(const fs::path& cwd);
    const char* message;  // %s stands for the settings path
    // Entries that belong to another user (root); the rest is the ordinary user's.
    std::vector<std::string> othersEntries;
};

class SettingsRefusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(SettingsRefusal, ShowsWhyAndLeavesEverythingAsItWas) {
    const RefusalCase& c = GetParam();
    const bool root = ::geteuid() == 0;
    if (!root && !c.othersEntries.empty()) {
        GTEST_SKIP() << c.name << ": making a file of another user needs root";
    }
    TestDir dir;
    const fs::path cwd = dir.path() / "cwd";
    fs::create_directories(cwd);
    fs::create_directories(dir.path() / "run");
    std::ofstream(cwd / "programmer.ini.keep") << "[SETUP_PRG]\nPort=LPT2\n; mine\n";
    c.setup(cwd);
    if (root) {
        ASSERT_EQ(::chown(dir.path().c_str(), kOrdinaryUser, kOrdinaryUser), 0);
        for (const auto& entry : fs::recursive_directory_iterator(dir.path())) {
            const std::string name = entry.path().filename().string();
            if (std::find(c.othersEntries.begin(), c.othersEntries.end(), name) ==
                c.othersEntries.end()) {
                ASSERT_EQ(::lchown(entry.path().c_str(), kOrdinaryUser, kOrdinaryUser), 0);
            }
        }
    }
    const auto before = snapshot(cwd);

    const std::string errors = startAsOrdinaryUser(cwd, (dir.path() / "run").string());

    std::string message = c.message;
    message.replace(message.find("%s"), 2, (cwd / "programmer.ini").string());
    // Once at start-up and once for the option changed afterwards: never written that run.
    EXPECT_EQ(errors, message + "\n" + message + "\n");
    EXPECT_EQ(snapshot(cwd), before);
    fs::permissions(cwd, fs::perms::owner_all, fs::perm_options::add);
}

void useKeep(const fs::path& cwd, fs::perms mode) {
    fs::rename(cwd / "programmer.ini.keep", cwd / "programmer.ini");
    fs::permissions(cwd / "programmer.ini", mode);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SettingsRefusal,
    ::testing::Values(RefusalCase{"unreadable",
                                  [](const fs::path& cwd) { useKeep(cwd, fs::perms::none); },
                                  "Unable to read %s (Permission denied).",
                                  {}},
                      RefusalCase{"read-only",
                                  [](const fs::path& cwd) {
                                      useKeep(cwd, fs::perms::owner_read | fs::perms::group_read |
                                                       fs::perms::others_read);
                                  },
                                  "Unable to write to %s (read-only).",
                                  {}},
                      RefusalCase{"in a read-only directory",
                                  [](const fs::path& cwd) {
                                      useKeep(cwd, fs::perms::owner_read | fs::perms::owner_write);
                                      fs::permissions(cwd, fs::perms::owner_write,
                                                      fs::perm_options::remove);
                                  },
                                  "Unable to write to %s (File access denied).",
                                  {}},
                      RefusalCase{"another user's",
                                  [](const fs::path& cwd) { useKeep(cwd, fs::perms::all); },
                                  "Unable to write to %s (owned by another user).",
                                  {"programmer.ini"}},
                      RefusalCase{"a directory",
                                  [](const fs::path& cwd) {
                                      fs::create_directory(cwd / "programmer.ini");
                                      fs::rename(cwd / "programmer.ini.keep",
                                                 cwd / "programmer.ini" / "keep");
                                  },
                                  "Unable to read %s (not a regular file).",
                                  {}},
                      RefusalCase{"a link to another user's file",
                                  [](const fs::path& cwd) {
                                      fs::rename(cwd / "programmer.ini.keep", cwd / "theirs.ini");
                                      fs::permissions(cwd / "theirs.ini", fs::perms::all);
                                      fs::create_symlink("theirs.ini", cwd / "programmer.ini");
                                  },
                                  "Unable to write to %s (owned by another user).",
                                  {"theirs.ini"}},
                      RefusalCase{"a link another user planted to the user's file",
                                  [](const fs::path& cwd) {
                                      fs::rename(cwd / "programmer.ini.keep", cwd / "mine.ini");
                                      fs::create_symlink("mine.ini", cwd / "programmer.ini");
                                  },
                                  "Unable to write to %s (owned by another user).",
                                  {"programmer.ini"}},
                      RefusalCase{"a dangling link",
                                  [](const fs::path& cwd) {
                                      fs::create_symlink("gone.ini", cwd / "programmer.ini");
                                  },
                                  "Unable to write to %s (a link to a missing file).",
                                  {}}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& ch : name) {
            ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
        }
        return name;
    });

// ---- Files a save may replace ----------------------------------------------------------

TEST_F(SessionFixture, SettingsLinkToTheUsersOwnFileIsWrittenThroughKeepingItsMode) {
    fs::create_directories(dir.path() / "conf");
    dir.write("conf/mine.ini", "; mine\n");
    fs::permissions(dir.path() / "conf/mine.ini",
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink("conf/mine.ini", dir.path() / "programmer.ini");
    start();
    EXPECT_TRUE(startedCleanly);
    EXPECT_TRUE(fs::is_symlink(dir.path() / "programmer.ini"));
    EXPECT_EQ(dir.read("conf/mine.ini").rfind("; mine\n\n[SETUP_PRG]\nPort=LPT1\n", 0), 0u);
    EXPECT_EQ(fs::status(dir.path() / "conf/mine.ini").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_FALSE(fs::exists(tempFileFor(dir.file("conf/mine.ini"))));
}

TEST_F(SessionFixture, SettingsTemporaryFileLeftByACrashGoesAtTheNextStart) {
    const std::string temp = tempFileFor(dir.file("programmer.ini"));
    EXPECT_EQ(temp, dir.file(".programmer.ini.trilo-save"));
    dir.write(".programmer.ini.trilo-save", std::string(100000, 'x'));
    start("; mine\n");
    EXPECT_TRUE(startedCleanly);
    EXPECT_EQ(ini().rfind("; mine\n\n[SETUP_PRG]\n", 0), 0u) << ini();
    EXPECT_FALSE(fs::exists(temp));
}

}  // namespace
}  // namespace trilo::test
