#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "files/BufferDir.h"
#include "presenter/Session.h"
#include "support/FakePlatform.h"
#include "support/FakeView.h"
#include "support/TestDir.h"

namespace trilo::test {
namespace {

namespace fs = std::filesystem;

TEST(FilesBufferDir, JoinPutsExactlyOneSeparator) {
    struct Case {
        std::string dir;
        std::string joined;
    };
    const std::vector<Case> cases = {
        {"/run/user/1000", "/run/user/1000/tmpprgrmr.tmp"},
        {"/run/user/1000/", "/run/user/1000/tmpprgrmr.tmp"},
        {"/run/user/1000//", "/run/user/1000/tmpprgrmr.tmp"},
        {"/", "/tmpprgrmr.tmp"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(joinPath(c.dir, kBufferName), c.joined) << c.dir;
    }
}

TEST(FilesBufferDir, ChoosesTheRuntimeDirElseTheTemporaryDir) {
    TestDir runtime;
    TestDir tmp;
    const unsigned uid = static_cast<unsigned>(::getuid());
    const std::string mine = "trilo-programmer-" + std::to_string(uid);
    struct Case {
        const char* what;
        std::optional<std::string> xdg;
        std::optional<std::string> tmpdir;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"runtime dir", runtime.path().string(), tmp.path().string(),
         runtime.file("trilo-programmer")},
        {"runtime dir with a slash", runtime.path().string() + "/", std::nullopt,
         runtime.file("trilo-programmer")},
        {"no runtime dir", std::nullopt, tmp.path().string(), tmp.file(mine)},
        {"empty runtime dir", "", tmp.path().string(), tmp.file(mine)},
        {"runtime dir missing", runtime.file("gone"), tmp.path().string(), tmp.file(mine)},
        {"runtime dir relative", "relative", tmp.path().string(), tmp.file(mine)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakePlatform platform(runtime.path().string());
        platform.env.clear();
        if (c.xdg) {
            platform.env["XDG_RUNTIME_DIR"] = *c.xdg;
        }
        if (c.tmpdir) {
            platform.env["TMPDIR"] = *c.tmpdir;
        }
        EXPECT_EQ(preparePrivateDir(platform), c.expected);
        struct stat st {};
        ASSERT_EQ(::lstat(c.expected.c_str(), &st), 0);
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(st.st_mode & 0777, 0700u);
    }
}

// The message of the StartupAbort that `prepare` raises, with its kind.
std::pair<StartupAbort::Kind, std::string> abortOf(const std::function<void()>& prepare) {
    try {
        prepare();
    } catch (const StartupAbort& abort) {
        return {abort.kind(), abort.what()};
    }
    ADD_FAILURE() << "no StartupAbort";
    return {StartupAbort::Kind::Information, ""};
}

TEST(FilesBufferDir, RefusesADirectoryOthersCouldTamperWith) {
    struct Case {
        const char* what;
        std::function<void(const TestDir&)> arrange;
        unsigned uidOffset;
        std::string says;
    };
    const std::vector<Case> cases = {
        {"a link to a directory",
         [](const TestDir& d) {
             fs::create_directory(d.path() / "elsewhere");
             fs::create_directory_symlink(d.path() / "elsewhere", d.path() / "trilo-programmer");
         },
         0, "je odkaz"},
        {"a dangling link",
         [](const TestDir& d) {
             fs::create_symlink(d.path() / "nowhere", d.path() / "trilo-programmer");
         },
         0, "je odkaz"},
        {"a plain file", [](const TestDir& d) { d.write("trilo-programmer", "x"); }, 0,
         "není adresář"},
        {"another user's", [](const TestDir&) {}, 1, "patří jinému uživateli"},
        // The mode bits as stat reports them, not an access the system refuses: holds as root.
        {"open to others",
         [](const TestDir& d) {
             fs::create_directory(d.path() / "trilo-programmer");
             ::chmod(d.file("trilo-programmer").c_str(), 0755);
         },
         0, "je přístupný i jiným uživatelům"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestDir dir;
        c.arrange(dir);
        FakePlatform platform(dir.path().string());
        platform.uid += c.uidOffset;
        const auto [kind, text] = abortOf([&] { preparePrivateDir(platform); });
        EXPECT_EQ(kind, StartupAbort::Kind::Error);
        EXPECT_NE(text.find(dir.file("trilo-programmer")), std::string::npos) << text;
        EXPECT_NE(text.find(c.says), std::string::npos) << text;
    }
}

TEST(FilesBufferDir, OneInstanceLockAtATime) {
    TestDir dir;
    auto first = std::make_unique<InstanceLock>(dir.path().string());
    const auto [kind, text] = abortOf([&] { InstanceLock second(dir.path().string()); });
    EXPECT_EQ(kind, StartupAbort::Kind::Information);
    EXPECT_EQ(text, "Program Trilo Programmer už běží.");
    first.reset();
    EXPECT_NO_THROW(InstanceLock again(dir.path().string()));
}

// Sessions of one user whose runtime directories differ (a login over ssh, sudo -E) would
// otherwise run two windows at once.
TEST(FilesBufferDir, OneWindowPerUserWhateverTheRuntimeDirSays) {
    TestDir dir;
    fs::create_directory(dir.path() / "a");
    fs::create_directory(dir.path() / "b");
    FakeView view;
    RecordingClock clock;
    FakePlatform first(dir.file("a"));
    FakePlatform second(dir.file("b"));
    first.env["TMPDIR"] = second.env["TMPDIR"] = dir.path().string();
    Session running(view, clock, first, first);
    running.FormCreate();
    Session another(view, clock, second, second);
    const auto [kind, text] = abortOf([&] { another.FormCreate(); });
    EXPECT_EQ(kind, StartupAbort::Kind::Information);
    EXPECT_EQ(text, "Program Trilo Programmer už běží.");
}

}  // namespace
}  // namespace trilo::test
