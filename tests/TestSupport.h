#pragma once
// Helpers the tests add to the test kit: a scratch folder, read-only files, captured standard
// output and whole files read and written.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "ByteBuilder.h"
#include "MemStream.h"
#include "PlaneCompare.h"
#include "SetBuilder.h"

namespace korvale::test {

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
    // Whether the lock on a file took effect: it cannot be opened for writing. Without root's
    // immutable flag, root writes through permissions.
    [[nodiscard]] bool Holds() const;
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  private:
    std::string path_;
    bool immutable_ = false;
};

Bytes ReadFile(const std::string& path);
void WriteFile(const std::string& path, const Bytes& bytes);

}  // namespace korvale::test
