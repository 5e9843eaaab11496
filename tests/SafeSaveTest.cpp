#include <grp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>

#include "CSrb.h"
#include "CompanionFile.h"
#include "SafeFile.h"
#include "TestSupport.h"

namespace korvale::test {
namespace {

// Makes writes past `bytes` fail as on a full disk, for the life of the object.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        previousSignal_ = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousSignal_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit previous_{};
    void (*previousSignal_)(int) = nullptr;
};

constexpr uid_t kNobody = 65534;
constexpr uid_t kThirdUser = 65533;

struct Outcome {
    int result = -1;
    std::string reason;
};

// Runs save in a child process as user uid (and group uid), so that permissions bind as they do
// for anyone but root, and returns what it returned and the reason it gave.
Outcome AsUser(uid_t uid, const std::function<int(std::string*)>& save) {
    int ends[2] = {-1, -1};
    if (::pipe(ends) != 0) {
        return {};
    }
    if (::fork() == 0) {
        std::string reason;
        const bool switched =
            ::setgroups(0, nullptr) == 0 && ::setgid(uid) == 0 && ::setuid(uid) == 0;
        const int result = switched ? save(&reason) : -1;
        const auto size = static_cast<ssize_t>(reason.size());
        ::_exit(::write(ends[1], reason.data(), reason.size()) == size ? result & 0xFF : 0xFF);
    }
    ::close(ends[1]);
    Outcome outcome;
    std::vector<char> chunk(256);
    for (ssize_t n = 0; (n = ::read(ends[0], chunk.data(), chunk.size())) > 0;) {
        outcome.reason.append(chunk.data(), static_cast<std::size_t>(n));
    }
    ::close(ends[0]);
    int status = 0;
    ::wait(&status);
    outcome.result = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

struct stat StatOf(const std::string& path) {
    struct stat status {};
    ::stat(path.c_str(), &status);
    return status;
}

// Acting as other users (their files, their saves) takes root; elsewhere those tests skip.
#define KORVALE_NEEDS_ROOT()                                    \
    do {                                                        \
        if (::geteuid() != 0) {                                 \
            GTEST_SKIP() << "acting as other users needs root"; \
        }                                                       \
    } while (false)

class SafeSave : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(MakeMipSet(srb_.mip, 3, 3, 6));  // about 11 KiB
        srb_.header = {1, 2, 3, 4, 5, 6};
        srb_.sizeInMetres = 2.0F;
        WriteFile(dir_.Path("tree.srb"), Bytes{'o', 'l', 'd'});
        WriteFile(dir_.Path("tree.yrq"), Bytes{'o', 'l', 'd', 'y'});
        WriteFile(dir_.Path("tree.mip"), Bytes{'o', 'l', 'd', 'm'});
    }

    // Gives a file of the folder to owner (user and group) with the given permissions.
    void Own(const std::string& name, uid_t owner, mode_t mode) {
        ASSERT_EQ(::chown(dir_.Path(name).c_str(), owner, owner), 0);
        ASSERT_EQ(::chmod(dir_.Path(name).c_str(), mode), 0);
    }
    void SetFolderMode(mode_t mode) { ASSERT_EQ(::chmod(dir_.Root().c_str(), mode), 0); }

    void ExpectUntouched() {
        EXPECT_EQ(ReadFile(dir_.Path("tree.srb")), (Bytes{'o', 'l', 'd'}));
        EXPECT_EQ(ReadFile(dir_.Path("tree.yrq")), (Bytes{'o', 'l', 'd', 'y'}));
        EXPECT_EQ(ReadFile(dir_.Path("tree.mip")), (Bytes{'o', 'l', 'd', 'm'}));
        EXPECT_EQ(dir_.List(), (std::vector<std::string>{"tree.mip", "tree.srb", "tree.yrq"}));
    }

    ScratchDir dir_;
    CSrb srb_;
};

TEST_F(SafeSave, AFullDiskLeavesThePreviousFilesAndNoTemporaryFile) {
    {
        FileSizeLimit limit(4096);
        EXPECT_EQ(srb_.Save(dir_.Path("tree.srb")), 0);
        EXPECT_EQ(srb_.mip.Save(dir_.Path("tree.mip")), 0);
    }
    ExpectUntouched();
    // The SRB file (140 bytes) fits, its companion (152 bytes for a 40-letter name) does not:
    // neither is replaced.
    srb_.mip.ClearLevels();
    srb_.mip.miptype = 3;
    const std::string name(40, 'n');
    WriteFile(dir_.Path(name + ".srb"), Bytes{'s'});
    WriteFile(dir_.Path(name + ".yrq"), Bytes{'y'});
    {
        FileSizeLimit limit(145);
        EXPECT_EQ(srb_.Save(dir_.Path(name + ".srb")), 0);
    }
    EXPECT_EQ(ReadFile(dir_.Path(name + ".srb")), Bytes{'s'});
    EXPECT_EQ(ReadFile(dir_.Path(name + ".yrq")), Bytes{'y'});
    EXPECT_EQ(srb_.Save(dir_.Path(name + ".srb")), 40);
    EXPECT_EQ(ReadFile(dir_.Path(name + ".srb")).size(), 140U);
    std::filesystem::remove(dir_.Path(name + ".srb"));
    std::filesystem::remove(dir_.Path(name + ".yrq"));
    ExpectUntouched();
}

TEST_F(SafeSave, AFolderInTheWayFailsTheWholeSave) {
    std::filesystem::remove(dir_.Path("tree.yrq"));
    std::filesystem::create_directory(dir_.Path("tree.yrq"));
    EXPECT_EQ(srb_.Save(dir_.Path("tree.srb")), 0);
    EXPECT_EQ(ReadFile(dir_.Path("tree.srb")), (Bytes{'o', 'l', 'd'}));
    std::filesystem::create_directory(dir_.Path("folder.mip"));
    EXPECT_EQ(srb_.mip.Save(dir_.Path("folder.mip")), 0);
    EXPECT_EQ(dir_.List(),
              (std::vector<std::string>{"folder.mip", "tree.mip", "tree.srb", "tree.yrq"}));
}

TEST_F(SafeSave, WhatTheUserMayNotWriteIsLeftAsItWas) {
    KORVALE_NEEDS_ROOT();
    struct Case {
        mode_t folderMode;
        const char* locked;  // the file made unwritable for the user, if any
        uid_t owner;
        mode_t mode;
        const char* saved;  // an SRB file is saved with its companion
        std::string reason;
    };
    const std::string denied = ": Permission denied";
    const Case cases[] = {
        {0777, "tree.mip", kNobody, 0444, "tree.mip",
         "cannot write " + dir_.Path("tree.mip") + denied},
        {0777, "tree.mip", 0, 0644, "tree.mip", "cannot write " + dir_.Path("tree.mip") + denied},
        {0777, "tree.srb", kNobody, 0444, "tree.srb",
         "cannot write " + dir_.Path("tree.srb") + denied},
        // A sticky folder, where the user could not rename over the companion either.
        {01777, "tree.yrq", kThirdUser, 0644, "tree.srb",
         "cannot write " + dir_.Path("tree.yrq") + denied},
        {0555, nullptr, 0, 0, "new.mip",
         "cannot create a file in " + dir_.Root().string() + denied},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        SetFolderMode(c.folderMode);
        for (const char* name : {"tree.srb", "tree.yrq", "tree.mip"}) {
            Own(name, kNobody, 0644);
        }
        if (c.locked != nullptr) {
            Own(c.locked, c.owner, c.mode);
        }
        const std::string path = dir_.Path(c.saved);
        const Outcome outcome = AsUser(kNobody, [&](std::string* reason) {
            const Status saved =
                path.ends_with(".srb") ? srb_.SaveFiles(path) : srb_.mip.SaveFile(path);
            *reason = saved.Reason();
            return saved.Ok() ? 1 : 0;
        });
        EXPECT_EQ(outcome.result, 0);
        EXPECT_EQ(outcome.reason, c.reason);
        if (c.locked != nullptr) {
            EXPECT_EQ(StatOf(dir_.Path(c.locked)).st_uid, c.owner);
            EXPECT_EQ(StatOf(dir_.Path(c.locked)).st_mode & 07777, c.mode);
        }
        ExpectUntouched();
    }
}

TEST_F(SafeSave, ASaveKeepsTheFilesLinksOwnerGroupAndMode) {
    KORVALE_NEEDS_ROOT();
    for (const char* name : {"tree.srb", "tree.yrq", "tree.mip"}) {
        Own(name, kNobody, 0640);
    }
    std::filesystem::create_hard_link(dir_.Path("tree.mip"), dir_.Path("other.mip"));
    EXPECT_EQ(srb_.Save(dir_.Path("tree.srb")), 4);
    EXPECT_EQ(srb_.mip.Save(dir_.Path("tree.mip")), 1);
    EXPECT_EQ(ReadFile(dir_.Path("other.mip")).size(), 11330U);
    EXPECT_EQ(ReadFile(dir_.Path("other.mip")), ReadFile(dir_.Path("tree.mip")));
    // In a sticky folder, the companion belongs to a third user who lets anyone write it.
    SetFolderMode(01777);
    Own("tree.yrq", kThirdUser, 0666);
    EXPECT_EQ(
        AsUser(kNobody, [&](std::string*) { return srb_.Save(dir_.Path("tree.srb")); }).result, 4);
    const struct {
        const char* name;
        uid_t owner;
        mode_t mode;
        off_t size;
    } expected[] = {{"tree.srb", kNobody, 0640, 11426},
                    {"tree.yrq", kThirdUser, 0666, 116},
                    {"tree.mip", kNobody, 0640, 11330}};
    for (const auto& e : expected) {
        SCOPED_TRACE(e.name);
        const struct stat status = StatOf(dir_.Path(e.name));
        EXPECT_EQ(status.st_uid, e.owner);
        EXPECT_EQ(status.st_gid, e.owner);
        EXPECT_EQ(status.st_mode & 07777, e.mode);
        EXPECT_EQ(status.st_size, e.size);
    }
    EXPECT_EQ(std::filesystem::hard_link_count(dir_.Path("tree.mip")), 2U);
    EXPECT_EQ(dir_.List(),
              (std::vector<std::string>{"other.mip", "tree.mip", "tree.srb", "tree.yrq"}));
}

TEST_F(SafeSave, AWritableFileInAFolderTheUserMayNotWriteIsSaved) {
    KORVALE_NEEDS_ROOT();
    SetFolderMode(0555);
    Own("tree.mip", 0, 0666);
    EXPECT_EQ(
        AsUser(kNobody, [&](std::string*) { return srb_.mip.Save(dir_.Path("tree.mip")); }).result,
        1);
    EXPECT_EQ(ReadFile(dir_.Path("tree.mip")).size(), 11330U);
    EXPECT_EQ(dir_.List(), (std::vector<std::string>{"tree.mip", "tree.srb", "tree.yrq"}));
}

TEST_F(SafeSave, APairIsReplacedWholeOrNotAtAll) {
    // The companion's place is taken by a folder once both files are written.
    {
        SafeFile srb(dir_.Path("tree.srb"));
        SafeFile companion(dir_.Path("tree.yrq"));
        std::fputs("new", srb.Stream());
        std::fputs("newy", companion.Stream());
        std::filesystem::remove(dir_.Path("tree.yrq"));
        std::filesystem::create_directories(dir_.Path("tree.yrq/inside"));
        const Status both = CommitBoth(srb, companion);
        EXPECT_EQ(both.Reason(), "cannot write " + dir_.Path("tree.yrq") + ": Is a directory");
        EXPECT_EQ(both.File(), dir_.Path("tree.yrq"));
    }
    std::filesystem::remove_all(dir_.Path("tree.yrq"));
    WriteFile(dir_.Path("tree.yrq"), Bytes{'o', 'l', 'd', 'y'});
    ExpectUntouched();
    // A companion with two links is written in place, after the SRB file was renamed into place;
    // the disk fills up while it is written: both are put back.
    std::filesystem::create_hard_link(dir_.Path("tree.yrq"), dir_.Path("other.yrq"));
    {
        SafeFile srb(dir_.Path("tree.srb"));
        SafeFile companion(dir_.Path("tree.yrq"));
        std::fputs("new", srb.Stream());
        std::fputs(std::string(5000, 'y').c_str(), companion.Stream());
        FileSizeLimit limit(4096);
        EXPECT_EQ(CommitBoth(srb, companion).Reason(),
                  "cannot write " + dir_.Path("tree.yrq") + ": File too large");
    }
    EXPECT_EQ(ReadFile(dir_.Path("other.yrq")), (Bytes{'o', 'l', 'd', 'y'}));
    std::filesystem::remove(dir_.Path("other.yrq"));
    ExpectUntouched();
}

TEST_F(SafeSave, AnSrbFileThatIsItsOwnCompanionIsRefused) {
    WriteFile(dir_.Path("link.yrq"), Bytes{'l'});
    std::filesystem::create_symlink("link.yrq", dir_.Path("link.srb"));
    WriteFile(dir_.Path("hard.yrq"), Bytes{'h'});
    std::filesystem::create_hard_link(dir_.Path("hard.yrq"), dir_.Path("hard.srb"));
    for (const char* name : {"tree.yrq", "link.srb", "hard.srb"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(srb_.Save(dir_.Path(name)), 0);
        EXPECT_EQ(srb_.SaveFiles(dir_.Path(name)).Reason(),
                  "the SRB file and its companion would be the same file");
    }
    EXPECT_EQ(ReadFile(dir_.Path("tree.yrq")), (Bytes{'o', 'l', 'd', 'y'}));
    EXPECT_EQ(ReadFile(dir_.Path("link.yrq")), Bytes{'l'});
    EXPECT_EQ(ReadFile(dir_.Path("hard.yrq")), Bytes{'h'});
}

TEST_F(SafeSave, AFailedSaveNamesItsReason) {
    std::filesystem::create_directory(dir_.Path("folder.mip"));
    const struct {
        std::string path;
        std::string reason;
    } cases[] = {
        {dir_.Path("missing/tree.mip"),
         "cannot create a file in " + dir_.Path("missing") + ": No such file or directory"},
        {dir_.Path("tree.srb/tree.mip"), dir_.Path("tree.srb/tree.mip") + ": Not a directory"},
        {dir_.Path("folder.mip"), dir_.Path("folder.mip") + " is a folder"},
        {"/dev/full", "cannot write /dev/full: No space left on device"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(srb_.mip.Save(c.path), 0);
        const Status status = srb_.mip.SaveFile(c.path);
        EXPECT_EQ(status.Reason(), c.reason);
        EXPECT_EQ(status.File(), c.path);
    }
    Status status;
    {
        FileSizeLimit limit(4096);
        EXPECT_EQ(srb_.Save(dir_.Path("tree.srb")), 0);
        status = srb_.SaveFiles(dir_.Path("tree.srb"));
    }
    EXPECT_EQ(status.Reason(), "cannot write " + dir_.Path("tree.srb") + ": File too large");
    EXPECT_EQ(srb_.Save(dir_.Path("tree.srb")), 4);
    EXPECT_TRUE(srb_.SaveFiles(dir_.Path("tree.srb")).Ok());
}

TEST_F(SafeSave, ASuccessfulSaveReplacesTheFilesKeepingPermissionsAndLinks) {
    std::filesystem::permissions(dir_.Path("tree.mip"), std::filesystem::perms::owner_read |
                                                            std::filesystem::perms::owner_write |
                                                            std::filesystem::perms::group_read);
    std::filesystem::create_symlink("tree.mip", dir_.Path("link.mip"));
    EXPECT_EQ(srb_.mip.Save(dir_.Path("link.mip")), 1);
    EXPECT_TRUE(std::filesystem::is_symlink(dir_.Path("link.mip")));
    EXPECT_EQ(
        std::filesystem::status(dir_.Path("tree.mip")).permissions() & std::filesystem::perms::all,
        std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
            std::filesystem::perms::group_read);
    EXPECT_EQ(ReadFile(dir_.Path("tree.mip")).size(),
              static_cast<std::size_t>(srb_.mip.SizeWord() + 12));
    EXPECT_EQ(srb_.Save(dir_.Path("tree.srb")), 4);
    EXPECT_EQ(ReadFile(dir_.Path("tree.yrq")).size(), 116U);
    const mode_t mask = ::umask(027);
    EXPECT_EQ(srb_.mip.Save(dir_.Path("new.mip")), 1);
    ::umask(mask);
    EXPECT_EQ(StatOf(dir_.Path("new.mip")).st_mode & 07777, 0640U);
    EXPECT_EQ(dir_.List(), (std::vector<std::string>{"link.mip", "new.mip", "tree.mip", "tree.srb",
                                                     "tree.yrq"}));
}

TEST_F(SafeSave, DevicesAreWrittenInPlaceAndTheirErrorsReported) {
    EXPECT_EQ(srb_.mip.Save("/dev/null"), 1);
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
    EXPECT_EQ(srb_.mip.Save("/dev/full"), 0);
    SafeFile unused(dir_.Path("never.mip"));
    ASSERT_TRUE(unused.Opened().Ok());
    std::fputs("partial", unused.Stream());
    unused.Discard();
    ExpectUntouched();
}

}  // namespace
}  // namespace korvale::test
