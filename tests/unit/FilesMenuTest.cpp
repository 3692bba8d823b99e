#include <gtest/gtest.h>
#include <sys/stat.h>

#include <unistd.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "commands/DataFiles.h"
#include "files/FileMove.h"
#include "presenter/Session.h"
#include "support/FakePlatform.h"
#include "support/FakeView.h"
#include "support/TestDir.h"

namespace trilo::test {
namespace {

namespace fs = std::filesystem;
using Kind = FakeView::Kind;

constexpr const char* kNoData = "Nejsou data k zápisu !";
constexpr const char* kOverwrite = "Přepsat soubor ?";
constexpr const char* kSaveRead = "Uložit načtená data ?  ";

// A started session in a fresh directory: settings there, the private directory under it.
class Files : public ::testing::Test {
protected:
    Files() : platform(dir.path().string()) {}

    void SetUp() override {
        session = std::make_unique<Session>(view, clock, platform, platform);
        ASSERT_TRUE(session->handle([&] { session->FormCreate(); }));
        view.log.clear();
    }

    // What a read command does with the buffer: creates it anew, then enables the saves.
    void simulateRead(const std::string& content) {
        session->engine().files().DataFile.create(session->engine().files().BufferFile);
        for (char c : content) {
            session->engine().files().DataFile.writeByte(static_cast<std::uint8_t>(c));
        }
        session->engine().files().DataFile.close();
        view.setEnabled(Control::mnuSave, true);
        view.setEnabled(Control::mnuSaveAs, true);
    }

    bool bufferExists() const { return fs::exists(session->engine().files().BufferFile); }
    bool savesEnabled() const {
        return view.enabled(Control::mnuSave) && view.enabled(Control::mnuSaveAs);
    }
    bool savesDisabled() const {
        return !view.enabled(Control::mnuSave) && !view.enabled(Control::mnuSaveAs);
    }
    // The file name the settings file holds.
    std::string settingsFile() const {
        const std::string ini = dir.read("programmer.ini");
        const auto at = ini.find("\nFile=");
        if (at == std::string::npos) {
            return "<none>";
        }
        const auto end = ini.find('\n', at + 1);
        return ini.substr(at + 6, end - at - 6);
    }
    // Sets CurrentFile as an earlier Open would have, settings and txFile included.
    void chooseFile(const std::string& path) {
        session->engine().files().CurrentFile = path;
        view.setCaption(Control::txFile, path);
        session->SaveSettings();
    }

    TestDir dir;
    FakeView view;
    RecordingClock clock;
    FakePlatform platform;
    std::unique_ptr<Session> session;
};

TEST_F(Files, StartUpPutsTheBufferInThePrivateDirAndDropsAStaleOne) {
    EXPECT_EQ(session->engine().files().BufferFile, dir.file("trilo-programmer/tmpprgrmr.tmp"));
    simulateRead("stale");
    session.reset();  // the earlier run ends without closing properly

    FakeView view2;
    Session next(view2, clock, platform, platform);
    ASSERT_TRUE(next.handle([&] { next.FormCreate(); }));
    EXPECT_FALSE(fs::exists(next.engine().files().BufferFile));
    EXPECT_FALSE(view2.enabled(Control::mnuSave));
    EXPECT_FALSE(view2.enabled(Control::mnuSaveAs));
    EXPECT_TRUE(view2.log.empty());
}

TEST_F(Files, ReadThenSaveReplacesCurrentFileWithoutAQuestion) {
    dir.write("chip.bin", "old contents");
    chooseFile(dir.file("chip.bin"));
    simulateRead(std::string("\x00\x01\xFF", 3));

    ASSERT_TRUE(session->handle([&] { session->mnuSaveClick(); }));

    EXPECT_EQ(dir.read("chip.bin"), std::string("\x00\x01\xFF", 3));
    EXPECT_TRUE(view.log.empty());  // no question, no dialog
    EXPECT_FALSE(bufferExists());
    EXPECT_TRUE(savesDisabled());
    EXPECT_EQ(view.caption(Control::txFile), dir.file("chip.bin"));
    EXPECT_EQ(settingsFile(), dir.file("chip.bin"));
    EXPECT_FALSE(session->engine().files().DataFile.isOpen());
}

TEST_F(Files, SaveWithNoCurrentFileAsksForAName) {
    simulateRead("abc");
    view.dialogAnswers = {dir.file("new.bin")};

    ASSERT_TRUE(session->handle([&] { session->mnuSaveClick(); }));

    ASSERT_EQ(view.log.size(), 1u);
    EXPECT_EQ(view.log[0].kind, Kind::SaveDialog);
    // A name of the read's own; no data file, so no directory of one.
    EXPECT_EQ(view.log[0].text, "89C2051-flash.bin");
    EXPECT_EQ(dir.read("new.bin"), "abc");
    EXPECT_EQ(session->engine().files().CurrentFile, dir.file("new.bin"));
    EXPECT_EQ(view.caption(Control::txFile), dir.file("new.bin"));
    EXPECT_EQ(settingsFile(), dir.file("new.bin"));
    EXPECT_FALSE(bufferExists());
    EXPECT_TRUE(savesDisabled());
}

TEST_F(Files, SaveAsOntoAnExistingFileNoThenYes) {
    dir.write("keep.bin", "keep");
    dir.write("other.bin", "other");
    chooseFile(dir.file("start.bin"));
    simulateRead("fresh");
    view.dialogAnswers = {dir.file("keep.bin"), dir.file("other.bin")};
    view.answers = {false, true};

    ASSERT_TRUE(session->handle([&] { session->mnuSaveAsClick(); }));

    const std::vector<FakeView::Message> expected = {
        {Kind::SaveDialog, dir.file("89C2051-flash.bin")},
        {Kind::Question, kOverwrite},
        {Kind::SaveDialog, dir.file("keep.bin")},  // the rejected name comes back preset
        {Kind::Question, kOverwrite}};
    ASSERT_EQ(view.log.size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k) {
        EXPECT_EQ(view.log[k].kind, expected[k].kind) << k;
        EXPECT_EQ(view.log[k].text, expected[k].text) << k;
    }
    EXPECT_EQ(dir.read("keep.bin"), "keep");
    EXPECT_EQ(dir.read("other.bin"), "fresh");
    EXPECT_EQ(session->engine().files().CurrentFile, dir.file("other.bin"));
    EXPECT_FALSE(bufferExists());
}

TEST_F(Files, SaveAsCancelledChangesNothing) {
    dir.write("chosen.bin", "mine");
    chooseFile(dir.file("chosen.bin"));
    simulateRead("data");
    const std::string iniBefore = dir.read("programmer.ini");
    // Cancelled at once, and cancelled after refusing to overwrite.
    for (const bool refuseFirst : {false, true}) {
        SCOPED_TRACE(refuseFirst);
        view.log.clear();
        if (refuseFirst) {
            view.dialogAnswers = {dir.file("chosen.bin"), std::nullopt};
            view.answers = {false};
        } else {
            view.dialogAnswers = {std::nullopt};
        }
        ASSERT_TRUE(session->handle([&] { session->mnuSaveAsClick(); }));
        EXPECT_EQ(session->engine().files().CurrentFile, dir.file("chosen.bin"));
        EXPECT_EQ(view.caption(Control::txFile), dir.file("chosen.bin"));
        EXPECT_EQ(dir.read("chosen.bin"), "mine");
        EXPECT_EQ(dir.read("programmer.ini"), iniBefore);
        EXPECT_EQ(dir.read("trilo-programmer/tmpprgrmr.tmp"), "data");
        EXPECT_TRUE(savesEnabled());
    }
}

TEST_F(Files, NothingToSaveWithoutABuffer) {
    dir.write("chosen.bin", "mine");
    chooseFile(dir.file("chosen.bin"));
    struct Case {
        const char* what;
        void (Session::*command)();
        bool enabledMenus;  // a buffer that vanished while Save was enabled
    };
    const std::vector<Case> cases = {
        {"Save As after start-up", &Session::mnuSaveAsClick, false},
        {"Save As, buffer vanished", &Session::mnuSaveAsClick, true},
        {"Save, buffer vanished", &Session::mnuSaveClick, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        view.log.clear();
        view.setEnabled(Control::mnuSave, c.enabledMenus);
        view.setEnabled(Control::mnuSaveAs, c.enabledMenus);
        ASSERT_TRUE(session->handle([&] { (session.get()->*c.command)(); }));
        EXPECT_EQ(view.messages(Kind::Info), std::vector<std::string>{kNoData});
        EXPECT_EQ(view.log.size(), 1u);  // no dialog
        EXPECT_EQ(dir.read("chosen.bin"), "mine");
        EXPECT_EQ(session->engine().files().CurrentFile, dir.file("chosen.bin"));
    }
}

TEST_F(Files, ClosingAsksOnlyAboutUnsavedData) {
    struct Case {
        const char* what;
        bool read;
        std::deque<bool> answers;
        std::deque<std::optional<std::string>> dialogs;
        std::vector<Kind> log;
        bool saved;
    };
    const std::vector<Case> cases = {
        {"nothing read", false, {}, {}, {}, false},
        {"No discards", true, {false}, {}, {Kind::Question}, false},
        {"Yes saves", true, {true}, {"saved.bin"}, {Kind::Question, Kind::SaveDialog}, true},
        {"Yes, cancel, asked again, No",
         true,
         {true, false},
         {std::nullopt},
         {Kind::Question, Kind::SaveDialog, Kind::Question},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(dir.file("saved.bin"));
        view.log.clear();
        if (c.read) {
            simulateRead("unsaved");
        }
        view.answers = c.answers;
        view.dialogAnswers.clear();
        for (const auto& d : c.dialogs) {
            view.dialogAnswers.push_back(d ? std::optional(dir.file(*d)) : std::nullopt);
        }
        ASSERT_TRUE(session->handle([&] { session->FormClose(); }));
        std::vector<Kind> kinds;
        for (const auto& m : view.log) {
            kinds.push_back(m.kind);
            if (m.kind == Kind::Question) {
                EXPECT_EQ(m.text, kSaveRead);
            }
        }
        EXPECT_EQ(kinds, c.log);
        EXPECT_FALSE(bufferExists());
        EXPECT_EQ(fs::exists(dir.file("saved.bin")), c.saved);
        if (c.saved) {
            EXPECT_EQ(dir.read("saved.bin"), "unsaved");
        }
        EXPECT_TRUE(view.answers.empty());
    }
}

TEST_F(Files, AFailedSaveWhileClosingKeepsTheWindowAndTheData) {
    simulateRead("precious");
    view.answers = {true};
    view.dialogAnswers = {dir.file("missing/x.bin")};
    EXPECT_FALSE(session->handle([&] { session->FormClose(); }));
    EXPECT_EQ(view.messages(Kind::Error), std::vector<std::string>{"File not found."});
    EXPECT_EQ(dir.read("trilo-programmer/tmpprgrmr.tmp"), "precious");
}

TEST_F(Files, OpenChoosesAnExistingFileOrIsCancelled) {
    dir.write("a.bin", "A");
    dir.write("b.bin", "B");
    fs::create_directory(dir.path() / "folder");
    struct Case {
        const char* what;
        std::string before;
        std::deque<std::optional<std::string>> dialogs;  // names in dir
        std::vector<std::string> presets;                // names in dir
        std::string after;
    };
    const std::vector<Case> cases = {
        {"chosen", "a.bin", {"b.bin"}, {"a.bin"}, "b.bin"},
        {"cancelled", "a.bin", {std::nullopt}, {"a.bin"}, "a.bin"},
        {"cancelled with a missing file", "gone.bin", {std::nullopt}, {"gone.bin"}, "gone.bin"},
        {"a missing name brings the dialog back",
         "a.bin",
         {"nope.bin", "folder", "b.bin"},
         {"a.bin", "nope.bin", "folder"},
         "b.bin"},
        {"missing, then cancelled",
         "a.bin",
         {"nope.bin", std::nullopt},
         {"a.bin", "nope.bin"},
         "a.bin"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        chooseFile(dir.file(c.before));
        const std::string iniBefore = dir.read("programmer.ini");
        view.log.clear();
        view.dialogAnswers.clear();
        for (const auto& d : c.dialogs) {
            view.dialogAnswers.push_back(d ? std::optional(dir.file(*d)) : std::nullopt);
        }
        ASSERT_TRUE(session->handle([&] { session->mnuOpenClick(); }));
        std::vector<std::string> presets;
        for (const auto& m : view.log) {
            EXPECT_EQ(m.kind, Kind::OpenDialog);
            presets.push_back(fs::path(m.text).filename().string());
        }
        EXPECT_EQ(presets, c.presets);
        EXPECT_EQ(session->engine().files().CurrentFile, dir.file(c.after));
        EXPECT_EQ(view.caption(Control::txFile), dir.file(c.after));
        if (c.after == c.before) {
            EXPECT_EQ(dir.read("programmer.ini"), iniBefore);
        } else {
            EXPECT_EQ(settingsFile(), dir.file(c.after));
        }
    }
}

TEST_F(Files, AFailedSaveKeepsBufferMenusAndTheShownName) {
    dir.write("old.bin", "old");
    dir.write("plain", "not a directory");
    fs::create_directories(dir.path() / "adir" / "inside");
    dir.write("kept.bin", "mine");
    ::chmod(dir.file("kept.bin").c_str(), 0444);
    fs::create_symlink("gone.bin", dir.path() / "dangling.bin");
    struct Case {
        const char* what;
        std::string target;
        std::string error;
        bool exists = false;  // the overwrite question comes, and is answered Yes
    };
    const std::vector<Case> cases = {
        {"target directory missing", "missing/x.bin", "File not found."},
        {"path through a file", "plain/x.bin", "Invalid filename."},
        {"a directory where the file should be", "adir", "Invalid filename."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        chooseFile(dir.file("old.bin"));
        const std::string iniBefore = dir.read("programmer.ini");
        simulateRead("read data");
        view.log.clear();
        view.dialogAnswers = {dir.file(c.target)};
        if (c.exists) {
            view.answers = {true};
        }

        EXPECT_FALSE(session->handle([&] { session->mnuSaveAsClick(); }));

        EXPECT_EQ(view.messages(Kind::Error), std::vector<std::string>{c.error});
        EXPECT_EQ(dir.read("trilo-programmer/tmpprgrmr.tmp"), "read data");
        EXPECT_TRUE(savesEnabled());
        EXPECT_EQ(session->engine().files().CurrentFile, dir.file(c.target));
        EXPECT_EQ(view.caption(Control::txFile), dir.file("old.bin"));
        EXPECT_EQ(dir.read("programmer.ini"), iniBefore);
        EXPECT_EQ(dir.read("old.bin"), "old");
        EXPECT_FALSE(session->engine().files().DataFile.isOpen());
    }
    // What the save would refuse is said before the overwrite question, and the dialog comes
    // back; a cancel then keeps the data file.
    for (const auto& [target, refusal] :
         {std::pair{"kept.bin", "je jen pro čtení"},
          std::pair{"dangling.bin", "je odkaz, který nevede na žádný soubor"}}) {
        chooseFile(dir.file("old.bin"));
        simulateRead("read data");
        view.log.clear();
        view.dialogAnswers = {dir.file(target), std::nullopt};
        EXPECT_TRUE(session->handle([&] { session->mnuSaveAsClick(); }));
        EXPECT_EQ(view.messages(Kind::Info),
                  std::vector<std::string>{"Soubor „" + dir.file(target) + "“ " + refusal +
                                           ", program ho nepřepíše."});
        EXPECT_TRUE(view.messages(Kind::Question).empty());
        EXPECT_EQ(session->engine().files().CurrentFile, dir.file("old.bin"));
    }
    EXPECT_EQ(dir.read("kept.bin"), "mine");
    EXPECT_FALSE(dir.exists("gone.bin"));
}

TEST_F(Files, SecondInstanceIsRefusedAndLeavesTheBufferAlone) {
    simulateRead("first run's data");
    FakeView view2;
    Session second(view2, clock, platform, platform);
    try {
        second.handle([&] { second.FormCreate(); });
        FAIL() << "second instance started";
    } catch (const StartupAbort& abort) {
        EXPECT_EQ(abort.kind(), StartupAbort::Kind::Information);
        EXPECT_EQ(std::string(abort.what()), "Program Trilo Programmer už běží.");
    }
    EXPECT_EQ(dir.read("trilo-programmer/tmpprgrmr.tmp"), "first run's data");
}

TEST(FilesStart, APrivateDirThatIsALinkIsRefused) {
    TestDir dir;
    TestDir elsewhere;
    fs::create_directory_symlink(elsewhere.path(), dir.path() / "trilo-programmer");
    FakeView view;
    RecordingClock clock;
    FakePlatform platform(dir.path().string());
    Session session(view, clock, platform, platform);
    try {
        session.handle([&] { session.FormCreate(); });
        FAIL() << "started through a link";
    } catch (const StartupAbort& abort) {
        EXPECT_EQ(abort.kind(), StartupAbort::Kind::Error);
        EXPECT_NE(std::string(abort.what()).find("je odkaz"), std::string::npos);
    }
    EXPECT_TRUE(fs::is_empty(elsewhere.path()));
}

TEST_F(Files, AnIoErrorInAnOperationStillReleasesTheBoardAndClosesTheFile) {
    platform.port->accesses.clear();
    const bool ok = session->handle([&] {
        session->engine().runOperation([&](OpContext&) {
            session->engine().board().link().WriteControlLatch(
                0x58);  // programming mode, as an operation does
            session->engine().files().DataFile.create(session->engine().files().BufferFile);
            session->engine().files().DataFile.writeByte(1);
            ByteFile other;
            other.openRead(dir.file("no-such.bin"));              // fails mid-operation
            session->engine().board().link().SetDataLines(0x55);  // never reached
        });
    });
    EXPECT_FALSE(ok);
    EXPECT_EQ(view.messages(Kind::Error), std::vector<std::string>{"File not found."});
    EXPECT_FALSE(session->engine().files().DataFile.isOpen());

    // After the operation's own latch load: the latch loaded with 0xC0, then data 0x00.
    const auto& all = platform.port->accesses;
    ASSERT_GE(all.size(), 27u);
    const std::vector<Access> release(all.end() - 27, all.end());
    std::vector<Access> expected = {W(0x37A, 0x0B)};
    for (int bit = 0; bit < 8; ++bit) {
        const std::uint8_t c = bit >= 6 ? 0x09 : 0x0B;
        expected.insert(expected.end(), {W(0x37A, c), W(0x37A, c + 4), W(0x37A, c)});
    }
    expected.push_back(W(0x37A, 0x0A));
    expected.push_back(W(0x378, 0x00));
    EXPECT_EQ(release, expected);
    EXPECT_EQ(session->engine().board().link().LastControlByte, 0xC0);
    EXPECT_EQ(all.size(), 26u + 27u);  // the operation's latch load and the release, nothing else
}

// The way across file systems, which one file system in a test cannot provoke by itself.
TEST(FilesReplace, CopyReplaceLandsWholeOrNotAtAll) {
    TestDir dir;
    dir.write("buffer", "new content");
    dir.write("target", "old content");
    copyReplace(dir.file("buffer"), dir.file("target"));
    EXPECT_EQ(dir.read("target"), "new content");
    EXPECT_FALSE(dir.exists("buffer"));

    // A target that cannot be replaced: the copy goes, the buffer stays.
    dir.write("buffer", "again");
    fs::create_directories(dir.path() / "occupied" / "child");
    EXPECT_THROW(copyReplace(dir.file("buffer"), dir.file("occupied")), IoError);
    EXPECT_EQ(dir.read("buffer"), "again");
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"buffer", "occupied", "target"}));
}

TEST(FilesReplace, ReplacingAcrossFileSystemsKeepsTheModeOfTheOldFile) {
    TestDir dir;
    const std::string shm = "/dev/shm";
    struct stat a {
    }, b{};
    if (::stat(shm.c_str(), &b) != 0 || ::stat(dir.path().c_str(), &a) != 0 ||
        a.st_dev == b.st_dev) {
        GTEST_SKIP() << "no second file system at hand";
    }
    const std::string buffer = shm + "/trilo-test-buffer-" + std::to_string(::getpid());
    { std::ofstream(buffer, std::ios::binary) << "across"; }
    dir.write("target", "old");
    ::chmod(dir.file("target").c_str(), 0640);
    replaceFile(buffer, dir.file("target"));
    EXPECT_EQ(dir.read("target"), "across");
    EXPECT_FALSE(fs::exists(buffer));
    struct stat t {};
    ASSERT_EQ(::stat(dir.file("target").c_str(), &t), 0);
    EXPECT_EQ(t.st_mode & 0777, 0640u);
}

// A save gives the new file the mode of the one it replaces, raw (a rename) or Intel HEX (a
// temporary file), and a new file 0666 less the umask; the temporary name stays short, so a
// target may use all 255 bytes of a name, and nothing is left beside the target.
TEST(FilesReplace, SavesKeepTheModeOfTheFileTheyReplace) {
    struct Case {
        std::string name;
        int oldMode;     // -1: no file there before
        mode_t mode;     // afterwards, under umask 027
        int owner = -1;  // of the old file and afterwards, when it is another user's
    };
    const std::vector<Case> cases = {
        {"raw.bin", 0600, 0600},
        {"image.hex", 0604, 0604},
        {"new.bin", -1, 0640},
        {std::string(251, 'n') + ".hex", -1, 0640},
        // Root's save over a user's file leaves it the user's.
        {"users.bin", 0664, 0664, 65534},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.substr(0, 12));
        if (c.owner >= 0 && ::geteuid() != 0) {
            std::printf("skipped %s: a file of another user takes root to make\n", c.name.c_str());
            continue;
        }
        TestDir dir;
        const mode_t mask = ::umask(027);
        dir.write("buffer", "\x12\x34");
        if (c.oldMode >= 0) {
            dir.write(c.name, "old");
            ::chmod(dir.file(c.name).c_str(), static_cast<mode_t>(c.oldMode));
        }
        if (c.owner >= 0) {
            ASSERT_EQ(::chown(dir.file(c.name).c_str(), static_cast<uid_t>(c.owner),
                              static_cast<gid_t>(c.owner)),
                      0);
        }
        EXPECT_NO_THROW(commands::storeBuffer(dir.file("buffer"), dir.file(c.name),
                                              commands::BufferContent::Mcs51Flash));
        ::umask(mask);
        struct stat st {};
        ASSERT_EQ(::stat(dir.file(c.name).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, c.mode);
        EXPECT_EQ(st.st_uid, c.owner >= 0 ? static_cast<uid_t>(c.owner) : ::geteuid());
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
    }
}

}  // namespace
}  // namespace trilo::test

namespace trilo::test {
namespace {

// The private directory is emptied at every start: nothing may be saved into it.
TEST_F(Files, SavingIntoTheProgramsOwnDirectoryIsRefusedAndKeepsTheData) {
    const std::string privateDir =
        fs::path(session->engine().files().BufferFile).parent_path().string();
    struct Case {
        std::string target;
        std::deque<bool> answers;
    };
    const Case cases[] = {
        {session->engine().files().BufferFile,
         {true}},  // the buffer exists, so the overwrite question comes
        {privateDir + "/mine.bin", {}},
        {privateDir + "/../trilo-programmer/mine.bin", {}},
    };
    for (const Case& c : cases) {
        view.log.clear();
        simulateRead("read data");
        view.dialogAnswers = {c.target};
        view.answers = c.answers;
        EXPECT_FALSE(session->handle([&] { session->mnuSaveAsClick(); })) << c.target;
        EXPECT_EQ(view.messages(Kind::Error),
                  std::vector<std::string>{"Soubor nelze uložit do pracovního adresáře programu " +
                                           privateDir + "."})
            << c.target;
        std::ifstream in(session->engine().files().BufferFile, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "read data") << c.target;
        EXPECT_FALSE(fs::exists(privateDir + "/mine.bin"));
        EXPECT_TRUE(savesEnabled());
        EXPECT_NE(settingsFile(), c.target);
    }
}

}  // namespace
}  // namespace trilo::test
