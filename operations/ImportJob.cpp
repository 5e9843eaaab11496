#include "ImportJob.h"

#include <algorithm>
#include <bit>
#include <utility>

#include "CompanionSize.h"
#include "Inputs.h"
#include "LevelEdit.h"
#include "LevelImage.h"
#include "PaletteSource.h"
#include "PixelType.h"
#include "TextureLoad.h"
#include "Trace.h"

namespace korvale {

namespace {

// Where the picture equals the original's top level as exported, the original's stored pixels
// are kept, in every level: a painted pixel changes only its own footprint in the chain, not
// the rounding of every other level. Only for levels stored alike (same type and palette).
void KeepUnpainted(const CMip& original, const Image& picture, CMip& made) {
    const std::vector<int> slots = original.FilledSlots();
    if (slots.empty() || slots != made.FilledSlots()) {
        return;
    }
    const int top = slots.front();
    const Image before =
        LevelToImage(original.levels[static_cast<std::size_t>(top)], original.LevelPalette(top));
    if (before.width != picture.width || before.height != picture.height) {
        return;
    }
    const auto w = static_cast<std::size_t>(picture.width);
    auto same = [&](std::size_t x0, std::size_t y0, std::size_t bw, std::size_t bh) {
        for (std::size_t y = y0; y < y0 + bh; ++y) {
            const auto from = static_cast<std::ptrdiff_t>(4 * (y * w + x0));
            if (!std::equal(before.pixels.begin() + from,
                            before.pixels.begin() + from + static_cast<std::ptrdiff_t>(4 * bw),
                            picture.pixels.begin() + from)) {
                return false;
            }
        }
        return true;
    };
    for (const int k : slots) {
        const auto slot = static_cast<std::size_t>(k);
        const CBmap& old = original.levels[slot];
        const CBmap& level = made.levels[slot];
        if (old.Type() != level.Type() || old.Width() != level.Width() ||
            old.Height() != level.Height() || original.LevelPalette(k) != made.LevelPalette(k)) {
            continue;
        }
        CBmap kept = CopyLevel(level);
        const auto lw = static_cast<std::size_t>(level.Width());
        const auto lh = static_cast<std::size_t>(level.Height());
        const std::size_t bw = w / lw;
        const std::size_t bh = static_cast<std::size_t>(picture.height) / lh;
        for (std::size_t y = 0; y < lh; ++y) {
            for (std::size_t x = 0; x < lw; ++x) {
                if (!same(x * bw, y * bh, bw, bh)) {
                    continue;
                }
                for (const PlaneId plane : kAllPlanes) {
                    kept.Plane(plane)[y * lw + x] = old.Plane(plane)[y * lw + x];
                }
            }
        }
        const CCmap palette = made.LevelPalette(k);
        (void)made.ReplaceLevel(k, std::move(kept), &palette);  // same size: always taken
    }
}

// Makes every palettised level of mip carry the type code (1 or 2: the same 4-bit layout as 0).
void Retype(CMip& mip, int code) {
    for (const int k : mip.FilledSlots()) {
        const CBmap& level = mip.levels[static_cast<std::size_t>(k)];
        if (KindOf(level.Type()) != PixelKind::kPalettised || level.Type() == code) {
            continue;
        }
        CBmap retyped = CopyLevel(level, code);
        const CCmap palette = mip.LevelPalette(k);
        (void)mip.ReplaceLevel(k, std::move(retyped), &palette);  // same size: always taken
    }
}

// The top level's size and the number of levels an import of picture makes.
std::pair<std::pair<int, int>, int> Chain(const Image& picture, const ImportOptions& options) {
    auto [w, h] = AutomaticTopSize(picture.width, picture.height);
    if (options.topWidth != 0) {
        w = options.topWidth;
        h = options.topHeight;
    }
    const int chain = std::bit_width(static_cast<unsigned>(std::max(w, h)));
    return {{w, h}, options.levels > 0 ? std::min(options.levels, chain) : chain};
}

// Hand-made levels must have a size the chain has: the first that has none, or levels.size().
std::size_t FirstMisfit(const Image& picture, const ImportOptions& options,
                        const std::vector<Image>& levels) {
    const auto [top, count] = Chain(picture, options);
    const auto [w, h] = top;
    for (std::size_t i = 0; i < levels.size(); ++i) {
        bool fits = false;
        for (int k = 0; k < count; ++k) {
            fits = fits || (levels[i].width == std::max(1, w >> k) &&
                            levels[i].height == std::max(1, h >> k));
        }
        if (!fits) {
            return i;
        }
    }
    return levels.size();
}

Status MisfitStatus(const Image& picture, const ImportOptions& options, const Image& level) {
    const auto [w, h] = Chain(picture, options).first;
    return Status::Failure("a level of " + std::to_string(level.width) + " x " +
                           std::to_string(level.height) + " has no place in a chain from " +
                           std::to_string(w) + " x " + std::to_string(h));
}

std::string Made(const CMip& mip) {
    const std::vector<int> slots = mip.FilledSlots();
    const CBmap& top = mip.levels[static_cast<std::size_t>(slots.front())];
    std::string made = std::to_string(slots.size()) + (slots.size() == 1 ? " level" : " levels") +
                       " from " + std::to_string(top.Width()) + " x " +
                       std::to_string(top.Height()) + ", " + PixelTypeName(top.Type());
    if (KindOf(top.Type()) == PixelKind::kPalettised) {
        made += mip.SavesLevelPalettes() ? ", a palette per level" : ", one shared palette";
    }
    return made;
}

}  // namespace

Status ImportLike(const std::string& path, const LikeChoices& choices, ImportJob& job,
                  LoadReport& report) {
    auto loaded = std::make_shared<CSrb>();
    FileKind kind = FileKind::kUnknown;
    const Status read = LoadTextureFile(path, *loaded, kind);
    report = loaded->mip.loadReport;
    if (!read) {
        return read;
    }
    std::optional<float> metres;
    if (kind == FileKind::kSrb && !choices.metres && path != "-") {
        if (const CompanionSize companion = ReadCompanionSize(path); companion.Read()) {
            metres = companion.metres;
        }
    }
    Status like = ImportLikeRecord(std::move(loaded), kind, metres, choices, job);
    return like ? like : std::move(like).In(path);
}

Status ImportLikeRecord(std::shared_ptr<const CSrb> loaded, FileKind kind,
                        std::optional<float> metres, const LikeChoices& choices, ImportJob& job) {
    const CSrb& original = *loaded;
    job.original = loaded;
    const CMip& mip = original.mip;
    const std::vector<int> slots = mip.FilledSlots();
    if (slots.empty()) {
        return Status::Failure("holds no levels to import like");
    }
    const CBmap& top = mip.levels[static_cast<std::size_t>(slots.front())];
    const bool palettised = KindOf(top.Type()) == PixelKind::kPalettised;
    if (!choices.type) {
        job.typeCode = top.Type();
        job.options.type = palettised ? 0 : top.Type();
    }
    const std::optional<std::string>& palette = choices.palette;
    if (palettised && (!palette || *palette == "keep")) {
        job.options.palette =
            mip.SavesLevelPalettes() ? PaletteMode::kPerLevel : PaletteMode::kShared;
        job.miptype = mip.miptype;
    } else if (!palettised && !choices.type) {
        job.miptype = mip.miptype;
    }
    // A 16-bit original has no palette: keeping it keeps nothing, so one command serves a
    // folder of both kinds.
    if (palette == "keep" && palettised) {
        if (mip.SavesLevelPalettes()) {
            for (const int k : slots) {
                job.options.givenLevelPalettes.push_back(PaletteColours(mip.LevelPalette(k)));
            }
        } else {
            job.options.palette = PaletteMode::kFromFile;
            job.options.givenPalette = PaletteColours(mip.LevelPalette(slots.front()));
        }
    }
    if (job.options.topWidth == 0) {
        job.options.topWidth = top.Width();
        job.options.topHeight = top.Height();
    }
    if (!choices.levels) {
        job.options.levels = slots.front() - slots.back() + 1;
    }
    if (!choices.repeat) {
        job.options.repeat = mip.RepeatCode();
    }
    if (kind == FileKind::kSrb && !choices.values) {
        job.values = original.header;
    }
    if (!choices.metres) {
        job.metres = metres.value_or(job.metres);
    }
    return {};
}

Status ImportFiles(const std::string& in, const std::vector<std::string>& handMade,
                   const ImportJob& job, CSrb& record, std::string& made) {
    Image picture;
    if (Status read = ReadPicture(in, picture); !read) {
        return read;
    }
    std::vector<Image> levels;
    for (const std::string& path : handMade) {
        Image level;
        if (Status read = ReadPicture(path, level); !read) {
            return read;
        }
        levels.push_back(std::move(level));
    }
    if (const std::size_t misfit = FirstMisfit(picture, job.options, levels);
        misfit < levels.size()) {
        return MisfitStatus(picture, job.options, levels[misfit]).In(handMade[misfit]);
    }
    // Two pictures for one level: which the user meant cannot be guessed.
    for (std::size_t j = 1; j < levels.size(); ++j) {
        for (std::size_t i = 0; i < j; ++i) {
            if (levels[i].width == levels[j].width && levels[i].height == levels[j].height) {
                return Status::Failure("is a second picture of " + std::to_string(levels[j].width) +
                                       " x " + std::to_string(levels[j].height) + ", as is " +
                                       handMade[i] + ": give one picture per level")
                    .In(handMade[j]);
            }
        }
    }
    Status imported = ImportPictures(picture, std::move(levels), job, record, made);
    return imported ? imported : std::move(imported).In(in);
}

Status ImportPictures(const Image& picture, std::vector<Image> handMade, const ImportJob& job,
                      CSrb& record, std::string& made) {
    if (const std::size_t misfit = FirstMisfit(picture, job.options, handMade);
        misfit < handMade.size()) {
        return MisfitStatus(picture, job.options, handMade[misfit]);
    }
    const bool painted = handMade.empty();
    ImportOptions options = job.options;
    for (Image& level : handMade) {
        options.handMadeLevels.push_back(std::move(level));
    }
    CSrb result;
    if (Status imported = ImportImage(picture, options, result.mip); !imported) {
        return imported;
    }
    made = Made(result.mip);
    if (job.typeCode > 0) {
        Retype(result.mip, job.typeCode);
    }
    if (job.miptype) {
        result.mip.miptype = *job.miptype;
    }
    if (job.original && painted) {
        KeepUnpainted(job.original->mip, picture, result.mip);
    }
    result.header = job.values;
    result.sizeInMetres = job.metres;
    record = std::move(result);
    return {};
}

Status TakeChoiceTexts(const ImportChoiceTexts& texts, ImportJob& job, LoadReport& report) {
    ImportJob taken = job;
    if (!texts.type.empty()) {
        const std::optional<int> type =
            texts.type.size() == 1 && texts.type[0] >= '0' && texts.type[0] <= '5'
                ? std::optional<int>(texts.type[0] - '0')
                : PixelTypeNamed(texts.type);
        if (!type) {
            return Status::Failure(
                "the pixel type must be pal4, rgb565, argb1555, argb4444 or a code from 0 to 5, "
                "not '" +
                texts.type + "'");
        }
        taken.options.type = KindOf(*type) == PixelKind::kPalettised ? 0 : *type;
        taken.typeCode = *type;
        taken.miptype.reset();
    }
    if (!texts.palette.empty() && texts.palette != "keep") {
        if (texts.palette == "shared") {
            taken.options.palette = PaletteMode::kShared;
        } else if (texts.palette == "per-level") {
            taken.options.palette = PaletteMode::kPerLevel;
        } else {
            std::vector<Rgba8> colours;
            if (Status read = ReadPaletteFile(texts.palette, colours, report); !read) {
                return read;
            }
            taken.options.palette = PaletteMode::kFromFile;
            taken.options.givenPalette = std::move(colours);
        }
        if (!texts.type.empty() && KindOf(*taken.options.type) != PixelKind::kPalettised) {
            return Status::Failure("a palette goes with the pixel type pal4, not '" + texts.type +
                                   "'");
        }
        taken.options.type = taken.options.type.value_or(CodeOf(PixelCode::kPal4));
        taken.miptype.reset();
    }
    if (!texts.filter.empty()) {
        const std::optional<Filter> filter = FilterNamed(texts.filter);
        if (!filter) {
            return Status::Failure("the filter must be area, mitchell, catmullrom or cubic, not '" +
                                   texts.filter + "'");
        }
        taken.options.filter = *filter;
    }
    job = std::move(taken);
    return {};
}

}  // namespace korvale
