#pragma once
// Helpers shared by the tests: byte builders for hand-made files, in-memory streams, a scratch
// folder and captured standard output.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "CBmap.h"
#include "CMip.h"
#include "ChunkStream.h"

namespace korvale::test {

using Bytes = std::vector<std::uint8_t>;

// Appends little-endian values, for building files byte by byte.
class ByteBuilder {
  public:
    ByteBuilder& U32(std::uint32_t v);
    ByteBuilder& U16(std::uint32_t v);
    ByteBuilder& U8(std::uint32_t v);
    ByteBuilder& F32(float v);
    ByteBuilder& Tag(const char (&chars)[5]);
    ByteBuilder& Header(const char (&chars)[5], std::uint32_t size);
    ByteBuilder& Append(const Bytes& more);
    [[nodiscard]] const Bytes& Data() const { return bytes_; }

  private:
    Bytes bytes_;
};

// A read-write stream over a copy of bytes, or an empty one to write into.
class MemStream {
  public:
    explicit MemStream(const Bytes& bytes);
    MemStream();
    ~MemStream();
    MemStream(const MemStream&) = delete;
    MemStream& operator=(const MemStream&) = delete;
    [[nodiscard]] ChunkStream Get() const { return file_.get(); }
    // What has been written so far (for a stream made empty).
    [[nodiscard]] Bytes Written();

  private:
    std::vector<char> buffer_;
    FilePtr file_;
    char* dynamic_ = nullptr;
    std::size_t dynamicSize_ = 0;
};

// Runs body with standard output captured and returns what it printed.
std::string CaptureStdout(const std::function<void()>& body);

// A fresh folder removed with its contents when the test ends.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    [[nodiscard]] std::string Path(const std::string& name) const;
    [[nodiscard]] const std::filesystem::path& Root() const { return root_; }
    // Names of everything in the folder, sorted.
    [[nodiscard]] std::vector<std::string> List() const;

  private:
    std::filesystem::path root_;
};

// Makes a file impossible to open for writing, or a folder impossible to create files in, for
// the life of the object: read-only permissions, and where the file system and privileges allow,
// the immutable flag, which binds root too (permissions do not).
class ReadOnlyFile {
  public:
    explicit ReadOnlyFile(std::string path);
    ~ReadOnlyFile();
    // Whether the lock took effect: the file cannot be opened for writing (a folder: no file can
    // be made in it). Without root's immutable flag, root writes through permissions.
    [[nodiscard]] bool Holds() const;
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  private:
    std::string path_;
    bool immutable_ = false;
};

Bytes ReadFile(const std::string& path);
void WriteFile(const std::string& path, const Bytes& bytes);

// A level of the given type and size whose pixels follow a simple pattern that every type can
// store exactly (components already quantised for the type).
void FillPattern(CBmap& level, int type, int width, int height, int seed);
// A palette of 16 distinct colours.
CCmap PatternPalette(int seed);
// A full mip set: levels from 2^power down to 1 in the given type.
void MakeMipSet(CMip& mip, int type, int miptype, int power);

// Whether two levels hold the same type, size and planes.
bool SameLevel(const CBmap& a, const CBmap& b);

}  // namespace korvale::test
