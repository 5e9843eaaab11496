#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include "SafeFile.h"
#include "CSrb.h"
#include "CompanionFile.h"
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

class SafeSave : public testing::Test {
  protected:
    void SetUp() override {
        MakeMipSet(srb_.mip, 3, 3, 6);  // about 11 KiB
        srb_.header = {1, 2, 3, 4, 5, 6};
        srb_.sizeInMetres = 2.0F;
        WriteFile(dir_.Path("tree.srb"), Bytes{'o', 'l', 'd'});
        WriteFile(dir_.Path("tree.yrq"), Bytes{'o', 'l', 'd', 'y'});
        WriteFile(dir_.Path("tree.mip"), Bytes{'o', 'l', 'd', 'm'});
    }

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
    for (int k = 0; k < CMip::kSlots; ++k) {
        srb_.mip.levels[static_cast<std::size_t>(k)].Reset();
    }
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

TEST_F(SafeSave, NoPermissionLeavesThePreviousFiles) {
    {
        const ReadOnlyFile locked(dir_.Root().string());
        if (FilePtr probe{std::fopen(dir_.Path("probe").c_str(), "wb")}) {
            probe.reset();
            std::filesystem::remove(dir_.Path("probe"));
            GTEST_SKIP() << "this user can write to any folder here";
        }
        EXPECT_EQ(srb_.Save(dir_.Path("tree.srb")), 0);
        EXPECT_EQ(srb_.mip.Save(dir_.Path("tree.mip")), 0);
        EXPECT_EQ(WriteCompanionFile(dir_.Path("tree.srb"), 1.0F), 0);
    }
    ExpectUntouched();
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
    EXPECT_EQ(dir_.List(),
              (std::vector<std::string>{"link.mip", "tree.mip", "tree.srb", "tree.yrq"}));
}

TEST_F(SafeSave, DevicesAreWrittenInPlaceAndTheirErrorsReported) {
    EXPECT_EQ(srb_.mip.Save("/dev/null"), 1);
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
    EXPECT_EQ(srb_.mip.Save("/dev/full"), 0);
    SafeFile unused(dir_.Path("never.mip"));
    ASSERT_TRUE(unused.IsOpen());
    std::fputs("partial", unused.Stream());
    unused.Discard();
    ExpectUntouched();
}

}  // namespace
}  // namespace korvale::test
