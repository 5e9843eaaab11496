#include "TextureLoad.h"

#include <cerrno>
#include <string>
#include <vector>

#include "ChunkStream.h"
#include "Inputs.h"
#include "Trace.h"

namespace korvale {

Status LoadTexture(std::span<const std::uint8_t> bytes, const std::string& name, CSrb& record,
                   FileKind& kind) {
    auto failed = [&name](const char* why) { return Status::Failure(why).In(name); };
    kind = RecogniseFile(bytes).kind;
    if (kind == FileKind::kPng) {
        return failed("is a PNG picture, not an SRB or MIP file");
    }
    constexpr const char* kNotOurs = "not an SRB or MIP file (no MIP tag at its start)";
    if (bytes.size() < 4) {
        Trace("Loading mip: '%s'\n", name.c_str());
        return failed(kNotOurs);
    }
    // A stream over the bytes already read: the loaders work on streams. Opened for reading
    // only, it never writes to them, so they need no writable copy.
    FilePtr stream(fmemopen(const_cast<std::uint8_t*>(bytes.data()), bytes.size(), "rb"));
    if (!stream) {
        return Status::FromErrno("cannot be read", errno).In(name);
    }
    if (kind == FileKind::kSrb) {
        const int result = record.Load(stream.get());
        LoadReport& report = record.mip.loadReport;
        if (result < 0 && !report.WasCutShort()) {
            return Status::Failure("not a valid SRB file (its header was rejected at offset " +
                                   std::to_string(report.FirstErrorOffset()) + ": " +
                                   report.FirstError() + ")")
                .In(name);
        }
        if (result <= 0) {
            // Cut short, or a good header with no mip set after it: damage, said as fully as a
            // MIP file's, with what was read (the six values) still shown. No mip header field
            // was read.
            report.SetHeaderFieldsRead(0);
        }
        return {};
    }
    // Anything else is read as a MIP file, as the MIP loader is the one that says what a file
    // without either tag is not.
    Trace("Loading mip: '%s'\n", name.c_str());
    return record.mip.Load(stream.get()) > 0 ? Status() : failed(kNotOurs);
}

Status LoadTextureFile(const std::string& path, CSrb& record, FileKind& kind, std::FILE* trace) {
    kind = FileKind::kUnknown;
    const TraceTo sink(trace);
    std::vector<std::uint8_t> bytes;
    if (Status read = ReadInput(path, InputKind::kTexture, bytes); !read) {
        return read;
    }
    return LoadTexture(bytes, path, record, kind);
}

}  // namespace korvale
