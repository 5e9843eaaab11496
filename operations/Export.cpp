#include "Export.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "CSrb.h"
#include "Importer.h"
#include "Inputs.h"
#include "LevelExport.h"
#include "PixelType.h"
#include "PngIo.h"
#include "Saving.h"
#include "TextureLoad.h"
#include "Trace.h"

namespace korvale {

Image LevelSheet(const CMip& mip, LevelView view) {
    Image sheet;
    const std::vector<int> slots = mip.FilledSlots();
    for (const int k : slots) {
        const CBmap& level = mip.levels[static_cast<std::size_t>(k)];
        sheet.width += level.Width();
        sheet.height = std::max(sheet.height, level.Height());
    }
    sheet.pixels.assign(sheet.PixelCount() * 4, 0);  // transparent where no level is
    int x = 0;
    for (const int k : slots) {
        const auto slot = static_cast<std::size_t>(k);
        const Image image = LevelToImage(mip.levels[slot], mip.LevelPalette(k), view);
        for (int row = 0; row < image.height; ++row) {
            const auto from = static_cast<std::ptrdiff_t>(4 * static_cast<std::size_t>(row) *
                                                          static_cast<std::size_t>(image.width));
            const auto to = static_cast<std::ptrdiff_t>(
                4 * (static_cast<std::size_t>(row) * static_cast<std::size_t>(sheet.width) +
                     static_cast<std::size_t>(x)));
            std::copy_n(image.pixels.begin() + from, 4 * image.width, sheet.pixels.begin() + to);
        }
        x += image.width;
    }
    return sheet;
}

Status EncodeExport(const CMip& mip, const std::string& name, const std::string& out,
                    const ExportRequest& request, std::vector<ExportFile>& files) {
    const std::vector<int> slots = mip.FilledSlots();
    if (slots.empty()) {
        return Status::Failure("holds no levels");
    }
    auto level = [&](int k, const std::string& path) -> Status {
        ExportFile file{path, {}, {}};
        if (Status encoded = EncodeLevelPng(mip, k, request.view, file.png); !encoded) {
            return encoded;
        }
        const CBmap& l = mip.levels[static_cast<std::size_t>(k)];
        file.line = "wrote slot " + std::to_string(k) + " (" + std::to_string(l.Width()) + " x " +
                    std::to_string(l.Height()) + ", " + PixelTypeName(l.Type()) + ") to '" + path +
                    "'";
        files.push_back(std::move(file));
        return {};
    };
    switch (request.mode) {
        case ExportMode::kSheet: {
            ExportFile file{out, {}, {}};
            if (Status sheet = EncodePng(LevelSheet(mip, request.view), true, file.png); !sheet) {
                return std::move(sheet).In(out);
            }
            file.line =
                "wrote " + std::to_string(slots.size()) + " levels side by side to '" + out + "'";
            files.push_back(std::move(file));
            return {};
        }
        case ExportMode::kAll:
            for (const int k : slots) {
                const CBmap& l = mip.levels[static_cast<std::size_t>(k)];
                if (Status written =
                        level(k, (std::filesystem::path(out) / LevelFileName(name, l)).string());
                    !written) {
                    return written;
                }
            }
            return {};
        case ExportMode::kLevel:
            break;
    }
    const int chosen = request.slot.value_or(slots.front());
    if (!mip.levels[static_cast<std::size_t>(chosen)].HasData()) {
        return Status::Failure("slot " + std::to_string(chosen) + " holds no level");
    }
    return level(chosen, out);
}

Status WriteExport(const std::vector<ExportFile>& files, bool force) {
    for (const ExportFile& file : files) {
        bool usage = false;
        if (Status writable = CheckOutput(file.path, false, force, usage); !writable && !usage) {
            return writable;
        }
    }
    for (const ExportFile& file : files) {
        if (file.path == "-") {
            std::fflush(stdout);
            if (std::fwrite(file.png.data(), 1, file.png.size(), stdout) != file.png.size() ||
                std::fflush(stdout) != 0) {
                return Status::FromErrno("cannot write", errno).In("standard output");
            }
        } else if (Status written = WriteFileBytes(file.path, file.png); !written) {
            return written;
        }
    }
    return {};
}

Status ReadLevelPictures(const std::string& path, LevelPictures& levels, LoadReport& report,
                         bool& picture) {
    report = LoadReport();
    picture = false;
    std::vector<std::uint8_t> bytes;
    Image decoded;
    FileKind kind = FileKind::kUnknown;
    if (Status read = ReadTextureOrPicture(path, bytes, decoded, kind); !read) {
        return read;
    }
    if (kind == FileKind::kPng) {
        // A PNG picture decodes to one of at least 1 x 1.
        picture = true;
        levels[CMip::SlotForSize(decoded.width, decoded.height)] = std::move(decoded);
        return {};
    }
    const TraceTo quiet(nullptr);
    CSrb record;
    if (Status loaded = LoadTexture(bytes, path, record, kind); !loaded) {
        return loaded;
    }
    report = record.mip.loadReport;
    for (const int k : record.mip.FilledSlots()) {
        const auto slot = static_cast<std::size_t>(k);
        levels[k] = LevelToImage(record.mip.levels[slot], record.mip.LevelPalette(k));
    }
    return {};
}

void MatchSourceToTexture(LevelPictures& a, bool aPicture, LevelPictures& b, bool bPicture) {
    if (aPicture != bPicture) {
        LevelPictures& source = aPicture ? a : b;
        const LevelPictures& texture = aPicture ? b : a;
        if (source.begin()->first >= 0 && texture.size() <= 1) {
            return;  // one level against one level: compared as they are
        }
        const std::vector<Image> chain = ReferenceChain(source.begin()->second);
        source.clear();
        for (const Image& level : chain) {
            const int slot = CMip::SlotForSize(level.width, level.height);
            // An empty texture keeps the whole chain, so the missing levels are said.
            if (texture.empty() || texture.contains(slot)) {
                source[slot] = level;
            }
        }
    } else if (aPicture && a.begin()->first < 0 && b.begin()->first < 0) {
        b = {{a.begin()->first, std::move(b.begin()->second)}};
    }
}

}  // namespace korvale
