#include "CSrb.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <utility>

#include "CompanionFile.h"
#include "SafeFile.h"
#include "SameFile.h"

namespace korvale {

namespace {

constexpr std::uint32_t kSrbSize = 84;  // the SRHD and SRH2 chunks; the mip set is not counted
constexpr std::uint32_t kSrhdSize = 24;
constexpr std::uint32_t kSrh2Size = 36;
constexpr int kSrh2Words = 9;

// Reads words and compares each as soon as it is read, stopping at the first mismatch; failedAt
// is where that word starts (a word cut short by the end of the file included).
bool Expect(ChunkStream stream, std::initializer_list<std::uint32_t> words, long& failedAt) {
    for (const std::uint32_t expected : words) {
        failedAt = Offset(stream);
        if (ReadU32(stream) != expected) {
            return false;
        }
    }
    return true;
}

}  // namespace

int CSrb::Load(const std::string& path) {
    FilePtr file = OpenForRead(path);
    if (!file) {
        const int error = errno;
        mip.loadReport.Begin();
        mip.loadReport.Error(0, std::string("cannot open: ") + std::strerror(error));
        return -1;
    }
    return Load(file.get());
}

int CSrb::Load(ChunkStream stream) {
    mip.loadReport.Begin();
    if (stream == nullptr) {
        return -1;
    }
    long failedAt = 0;
    auto rejected = [&](const char* what) {
        mip.loadReport.Error(failedAt, what);
        if (std::feof(stream) != 0) {
            mip.loadReport.CutShort(Offset(stream));
        }
        return -1;
    };
    if (!Expect(stream, {tag::kSrb, 0, kSrbSize, tag::kSrhd, 0, kSrhdSize}, failedAt)) {
        return rejected("not an SRB header");
    }
    for (float& value : header) {
        value = ReadF32(stream);
    }
    if (!Expect(stream, {tag::kSrh2, 0, kSrh2Size}, failedAt)) {
        return rejected("SRH2 header rejected");
    }
    for (int i = 0; i < kSrh2Words; ++i) {
        (void)ReadU32(stream);
    }
    const long mipAt = Offset(stream);
    const int result = mip.Load(stream);
    if (result == 0) {
        mip.loadReport.Error(mipAt, "no mip set follows the SRB header");
        if (std::feof(stream) != 0) {
            mip.loadReport.CutShort(mipAt);
        }
    }
    return result;
}

int CSrb::Save(const std::string& path) const {
    return SaveFiles(path).Ok() ? static_cast<int>(ObjectName(path).size()) : 0;
}

Status CSrb::SaveFiles(const std::string& path) const {
    auto failed = [&path](const std::string& why) { return Status::Failure(why).In(path); };
    const std::string companionPath = CompanionPath(path);
    if (SameFile(path, companionPath)) {
        return failed("the SRB file and its companion would be the same file");
    }
    // Refused before either file is opened, so nothing on the disk changes.
    if (Status reloads = mip.CheckReloadsAsShown(); !reloads) {
        return std::move(reloads).In(path);
    }
    SafeFile srb(path);
    if (Status opened = srb.Opened(); !opened) {
        return opened;
    }
    ChunkStream stream = srb.Stream();
    WriteChunkHeader(stream, tag::kSrb, kSrbSize);
    WriteChunkHeader(stream, tag::kSrhd, kSrhdSize);
    for (const float value : header) {
        WriteF32(stream, value);
    }
    WriteChunkHeader(stream, tag::kSrh2, kSrh2Size);
    for (int i = 0; i < kSrh2Words; ++i) {
        WriteU32(stream, 0);
    }
    if (mip.Save(stream) != 1) {
        return failed("the mip set could not be written");
    }

    SafeFile companion(companionPath);
    if (Status opened = companion.Opened(); !opened) {
        return opened;
    }
    WriteCompanionTo(companion.Stream(), ObjectName(path), sizeInMetres);
    return CommitBoth(srb, companion);
}

}  // namespace korvale
