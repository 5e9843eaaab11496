#include "TextureFile.h"

#include <cerrno>

#include "ChunkStream.h"
#include "Trace.h"

namespace korvale {

Status LoadTexture(std::span<const std::uint8_t> bytes, const std::string& name, CSrb& record,
                   TextureKind& kind) {
    auto failed = [&name](const char* why) { return Status::Failure(why).In(name); };
    constexpr const char* kNotOurs = "not an SRB or MIP file (no MIP tag at its start)";
    kind = TextureKind::kMip;
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
    if (PeekTag(stream.get()) == tag::kSrb) {
        kind = TextureKind::kSrb;
        const int result = record.Load(stream.get());
        if (result < 0) {
            return failed("not a valid SRB file (its header was rejected)");
        }
        return result == 0 ? failed("SRB header is valid but no mip set follows it") : Status();
    }
    Trace("Loading mip: '%s'\n", name.c_str());
    return record.mip.Load(stream.get()) > 0 ? Status() : failed(kNotOurs);
}

}  // namespace korvale
