#include "TestSupport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

#include "PixelCodec.h"

namespace korvale::test {

ByteBuilder& ByteBuilder::U32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        bytes_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    return *this;
}

ByteBuilder& ByteBuilder::U16(std::uint32_t v) {
    bytes_.push_back(static_cast<std::uint8_t>(v));
    bytes_.push_back(static_cast<std::uint8_t>(v >> 8));
    return *this;
}

ByteBuilder& ByteBuilder::U8(std::uint32_t v) {
    bytes_.push_back(static_cast<std::uint8_t>(v));
    return *this;
}

ByteBuilder& ByteBuilder::F32(float v) {
    return U32(std::bit_cast<std::uint32_t>(v));
}

ByteBuilder& ByteBuilder::Tag(const char (&chars)[5]) {
    return U32(MakeTag(chars[0], chars[1], chars[2], chars[3]));
}

ByteBuilder& ByteBuilder::Header(const char (&chars)[5], std::uint32_t size) {
    return Tag(chars).U32(0).U32(size);
}

ByteBuilder& ByteBuilder::Append(const Bytes& more) {
    bytes_.insert(bytes_.end(), more.begin(), more.end());
    return *this;
}

MemStream::MemStream(const Bytes& bytes) : buffer_(bytes.begin(), bytes.end()) {
    // fmemopen rejects a zero-sized buffer; an empty file reads like /dev/null.
    if (buffer_.empty()) {
        file_.reset(std::fopen("/dev/null", "rb"));
        return;
    }
    file_.reset(fmemopen(buffer_.data(), buffer_.size(), "rb"));
}

MemStream::MemStream() {
    file_.reset(open_memstream(&dynamic_, &dynamicSize_));
}

MemStream::~MemStream() {
    file_.reset();  // closing a memory stream finalises its buffer, which is then ours to free
    std::free(dynamic_);
}

Bytes MemStream::Written() {
    std::fflush(file_.get());
    return Bytes(dynamic_, dynamic_ + dynamicSize_);
}

std::string CaptureStdout(const std::function<void()>& body) {
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    body();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

ScratchDir::ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "korvale-test-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (::mkdtemp(name.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    root_ = name.data();
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    std::filesystem::permissions(root_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(root_, ec);
}

std::string ScratchDir::Path(const std::string& name) const {
    return (root_ / name).string();
}

std::vector<std::string> ScratchDir::List() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(root_)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

namespace {

bool SetImmutable(const std::string& path, bool on) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) {
        return false;
    }
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}

}  // namespace

ReadOnlyFile::ReadOnlyFile(std::string path) : path_(std::move(path)) {
    using std::filesystem::perms;
    const bool folder = std::filesystem::is_directory(path_);
    std::filesystem::permissions(
        path_, folder ? perms::owner_read | perms::owner_exec : perms::owner_read);
    immutable_ = SetImmutable(path_, true);
}

bool ReadOnlyFile::Holds() const {
    if (std::filesystem::is_directory(path_)) {
        const std::string probe = path_ + "/.korvale-lock-probe";
        const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        if (fd >= 0) {
            ::close(fd);
            ::unlink(probe.c_str());
            return false;
        }
        return true;
    }
    const int fd = ::open(path_.c_str(), O_WRONLY);
    if (fd >= 0) {
        ::close(fd);
        return false;
    }
    return true;
}

ReadOnlyFile::~ReadOnlyFile() {
    if (immutable_) {
        SetImmutable(path_, false);
    }
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

CCmap PatternPalette(int seed) {
    CCmap palette;
    for (int i = 0; i < CCmap::kEntries; ++i) {
        palette.Entry(i) = Colour{(i * 16 + seed) & 0xFF, (i * 7 + 3 * seed) & 0xFF,
                                  (255 - i * 9 - seed) & 0xFF, (i * 13 + 5 * seed) & 0xFF};
    }
    return palette;
}

void FillPattern(CBmap& level, int type, int width, int height, int seed) {
    ASSERT_TRUE(level.Allocate(type, width, height));
    std::mt19937 random(static_cast<unsigned>(seed));
    const std::size_t count = level.Plane(PlaneId::kR).size();
    auto r = level.Plane(PlaneId::kR);
    auto g = level.Plane(PlaneId::kG);
    auto b = level.Plane(PlaneId::kB);
    auto a = level.Plane(PlaneId::kA);
    auto index = level.Plane(PlaneId::kIndex);
    const CCmap palette = PatternPalette(seed);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t v = random() & 0xFFFFU;
        if (KindOf(type) == PixelKind::kPalettised) {
            const int k = static_cast<int>(v & 0x0F);
            const Colour& c = palette.Entry(k);
            r[i] = c.r;
            g[i] = c.g;
            b[i] = c.b;
            a[i] = c.a;
            index[i] = k;
        } else if (const SixteenBitLayout* f = LayoutOf(type)) {
            // Decoding a random 16-bit value gives components the type stores exactly.
            auto decode = [v](const ChannelLayout& c) {
                return static_cast<std::int32_t>(((v & c.mask) >> c.right) << c.left) | c.fill;
            };
            r[i] = decode(f->r);
            g[i] = decode(f->g);
            b[i] = decode(f->b);
            a[i] = decode(f->a);
            index[i] = 255;
        }
    }
}

void MakeMipSet(CMip& mip, int type, int miptype, int power) {
    mip.miptype = miptype;
    mip.col = 7;
    mip.SetRepeatCode(1);
    mip.globalPalette = PatternPalette(1);
    for (int k = power; k >= 0; --k) {
        // The global palette is what a level without its own decodes with; levels carry their
        // own only in miptype 2.
        const CCmap own = PatternPalette(k + 2);
        CBmap level;
        FillPattern(level, type, 1 << k, 1 << k, miptype == 2 ? k + 2 : 1);
        EXPECT_TRUE(mip.SetLevel(std::move(level), miptype == 2 ? &own : nullptr));
    }
}

bool SameLevel(const CBmap& a, const CBmap& b) {
    if (a.Type() != b.Type() || a.Width() != b.Width() || a.Height() != b.Height() ||
        a.HasData() != b.HasData()) {
        return false;
    }
    for (int p = 0; p < CBmap::kPlanes; ++p) {
        const auto x = a.Plane(static_cast<PlaneId>(p));
        const auto y = b.Plane(static_cast<PlaneId>(p));
        if (!std::equal(x.begin(), x.end(), y.begin(), y.end())) {
            return false;
        }
    }
    return true;
}

}  // namespace korvale::test
