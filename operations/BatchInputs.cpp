#include "BatchInputs.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <system_error>
#include <tuple>
#include <utility>

namespace korvale {

namespace {

namespace fs = std::filesystem;

// What makes two names one file: the device and inode of what they reach, or, for a name that
// reaches nothing yet, its absolute path with "." and ".." resolved.
struct Identity {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    std::string path;

    bool operator<(const Identity& other) const {
        return std::tie(exists, device, inode, path) <
               std::tie(other.exists, other.device, other.inode, other.path);
    }
};

Identity IdentityOf(const std::string& path) {
    Identity id;
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        id.exists = true;
        id.device = info.st_dev;
        id.inode = info.st_ino;
        return id;
    }
    std::error_code ec;
    const fs::path absolute = fs::absolute(path, ec);
    id.path = (ec ? fs::path(path) : absolute).lexically_normal().string();
    return id;
}

bool Taken(const fs::path& file, std::span<const std::string_view> extensions) {
    std::string ending = file.extension().string();
    if (ending.empty()) {
        return false;
    }
    ending.erase(0, 1);
    std::transform(ending.begin(), ending.end(), ending.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return std::find(extensions.begin(), extensions.end(), ending) != extensions.end();
}

// The files under root (a folder), in name order, with their folder relative to root. A folder
// that cannot be read is a problem of its own; the rest of the tree is still walked.
void Walk(const fs::path& root, const fs::path& under, std::span<const std::string_view> extensions,
          std::vector<BatchInput>& found, std::vector<Status>& problems) {
    std::error_code ec;
    fs::directory_iterator it(root / under, ec);
    if (ec) {
        problems.push_back(
            Status::Failure("cannot read the folder: " + ec.message()).In((root / under).string()));
        return;
    }
    std::vector<fs::path> files;
    std::vector<fs::path> folders;
    for (const fs::directory_entry& entry : it) {
        std::error_code kind;
        // A link to a folder is not followed: a tree with a link to its own top never ends.
        if (entry.is_directory(kind) && !entry.is_symlink(kind)) {
            folders.push_back(entry.path().filename());
        } else if (Taken(entry.path(), extensions)) {
            files.push_back(entry.path().filename());
        }
    }
    std::sort(files.begin(), files.end());
    std::sort(folders.begin(), folders.end());
    for (const fs::path& file : files) {
        found.push_back({(root / under / file).string(), under.string()});
    }
    for (const fs::path& folder : folders) {
        Walk(root, under / folder, extensions, found, problems);
    }
}

}  // namespace

BatchInputs CollectInputs(std::span<const std::string> given, bool recursive,
                          std::span<const std::string_view> extensions) {
    BatchInputs result;
    std::vector<BatchInput> listed;
    for (const std::string& path : given) {
        std::error_code ec;
        if (recursive && path != "-" && fs::is_directory(path, ec)) {
            Walk(path, fs::path(), extensions, listed, result.problems);
        } else {
            listed.push_back({path, ""});
        }
    }
    std::set<Identity> seen;
    for (BatchInput& input : listed) {
        if (input.path == "-" || seen.insert(IdentityOf(input.path)).second) {
            result.inputs.push_back(std::move(input));
        }
    }
    return result;
}

std::string MirroredPath(const std::string& folder, const BatchInput& input,
                         const std::string& name) {
    // An empty subfolder adds only a separator: "out" gives "out/name", as before trees.
    return (fs::path(folder) / input.subfolder / name).string();
}

Status MakeFolder(const std::string& folder) {
    std::error_code ec;
    if (folder.empty() || fs::is_directory(folder, ec)) {
        return {};
    }
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder)) {
        return Status::Failure("cannot make the output folder" +
                               (ec ? ": " + ec.message() : std::string()))
            .In(folder);
    }
    return {};
}

Status MakeFolderFor(const std::string& path) {
    return MakeFolder(fs::path(path).parent_path().string());
}

}  // namespace korvale
