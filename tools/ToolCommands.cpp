#include "ToolCommands.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "ExitStatus.h"
#include "ExportCommand.h"
#include "ImportCommand.h"
#include "InfoCommand.h"
#include "Messages.h"
#include "Options.h"
#include "ThumbnailCommand.h"
#include "Version.h"

namespace korvale {

namespace {

constexpr const char* kUsageText =
    "usage: korvale-tool info [--json] FILE...\n"
    "       korvale-tool convert IN OUT [--size METRES] [--repair] [--recolour]\n"
    "       korvale-tool import IN.png [LEVEL.png ...] OUT.mip|OUT.srb [options]\n"
    "       korvale-tool import A.png B.png ... -o DIR [--srb] [-j N] [options]\n"
    "       korvale-tool export IN OUT.png|- [--level SLOT] [--raw]\n"
    "       korvale-tool export IN --all DIR [--raw]\n"
    "       korvale-tool export IN --sheet OUT.png [--raw]\n"
    "       korvale-tool export A B ... -o DIR [--level SLOT | --all | --sheet] [--raw] [-j N]\n"
    "       korvale-tool compare A B [--min-psnr DB]\n"
    "       korvale-tool thumbnail [-s SIZE] IN OUT.png\n"
    "       korvale-tool --version | --help\n"
    "\n"
    "FILE, IN, A and B may be - for standard input (one of them at most); export writes\n"
    "one level to standard output when OUT is -. Every command takes -q, --quiet (errors\n"
    "only), and every command that writes takes -f, --force: without it an existing\n"
    "output is left as it is, named, and counted as failed.\n"
    "\n"
    "info     loads each FILE (an SRB file when it starts with the SRB tag, otherwise a\n"
    "         MIP file), prints the loader's trace, then a summary of the header, the\n"
    "         levels and what the load found wrong. --json prints the summary alone, as one\n"
    "         JSON object per line and file (JSON Lines, with a \"file\" field), also for\n"
    "         a file that does not load (with its \"error\").\n"
    "convert  loads IN the same way and saves OUT: an SRB file and its companion .yrq\n"
    "         object file when OUT ends in .srb, a MIP file when it ends in .mip.\n"
    "         --size sets the size in metres written to the companion file (0 to 1000;\n"
    "         default: an SRB input's companion's size, else 1). From a MIP file the six\n"
    "         SRB header values are 0. A set whose levels the save would recolour (a\n"
    "         palette the miptype cannot keep) is refused and the levels named;\n"
    "         --recolour saves it with the colours changed.\n"
    "         A set that would not load back as it loaded (a level lost on load left its\n"
    "         header one slot off, or a level's pixel type is none of the six) is refused.\n"
    "         --repair keeps what survived: levels of an unknown type are dropped, a slot\n"
    "         missing between others is averaged from the level above, and the header is\n"
    "         made from the levels; each change is printed.\n"
    "import   makes a mip set from a PNG picture: the top level is the picture's size\n"
    "         rounded to powers of two and halved until it fits 256 x 256, and every level\n"
    "         below it is averaged from the one above in linear light. Extra LEVEL.png\n"
    "         pictures replace the generated level of their size. Options:\n"
    "           --type pal4|rgb565|argb1555|argb4444|0..5   (default: pal4 for at most 16\n"
    "               colours in the top level as stored, else argb4444 for soft alpha,\n"
    "               argb1555 for alpha 0 and 255 only, rgb565 when opaque)\n"
    "           --palette shared|per-level|keep|FILE   one palette for the chain (default),\n"
    "               one per level, the --like original's, or the palette of a MIP, SRB or\n"
    "               PNG file (implies pal4)\n"
    "           --like ORIGINAL      take the type, palette mode, levels, repeat code and\n"
    "               (for an SRB output) values and companion size of a MIP or SRB file\n"
    "           --dither             error diffusion against the palette or the 16-bit grid\n"
    "           --levels N           only the top N levels (default: down to 1 x 1)\n"
    "           --size WxH           the top level's size (powers of two, at most 256)\n"
    "           --filter area|mitchell|catmullrom|cubic   (default area: exact averages)\n"
    "           --repeat 0..3        the repeat code (default 0)\n"
    "           --values a,b,c,d,e,f the six SRB header values, 0 to 100000 (default 0)\n"
    "           --size METRES        the companion file's size in metres (default 1)\n"
    "         --values and --size METRES need an SRB output. With -o DIR every IN.png\n"
    "         becomes DIR/IN.mip (DIR/IN.srb with --srb; only the last extension is\n"
    "         dropped), on -j N threads (default: every core); a bad file never stops the\n"
    "         others, and inputs that would write the same output are all refused.\n"
    "export   writes the largest level of IN (or the one in --level SLOT) as a PNG:\n"
    "         palettised levels as indexed PNGs with their palette, 16-bit levels at full\n"
    "         scale (a 5-bit 31 is 255). --raw writes the values as stored (31 is 248).\n"
    "         --all DIR writes every level as DIR/NAME-WxH.png; --sheet writes all levels\n"
    "         side by side on a transparent background, largest first. With -o DIR every\n"
    "         input is exported into DIR (NAME.png, NAME-sheet.png or NAME-WxH.png).\n"
    "compare  compares A and B (each a MIP, SRB or PNG file) level by level: PSNR of the\n"
    "         colour premultiplied by alpha, PSNR of alpha and the largest difference. A\n"
    "         picture against a set of more levels, or whose size selects no slot, stands\n"
    "         for the chain an import makes of it, over the levels the set holds.\n"
    "thumbnail writes a picture of IN at most SIZE pixels wide and high (default 256),\n"
    "         alpha kept: the smallest level at least that large, reduced to fit, or the\n"
    "         largest level as it is. For file managers, which run it with fresh temporary\n"
    "         names: it replaces OUT without --force.\n"
    "\n"
    "Exit status: 0 success; 1 a file could not be loaded or saved, an output exists\n"
    "(without --force), an import or export failed, or compare found a level missing,\n"
    "of another size or below --min-psnr; 2 a usage error; 3 an input loaded with\n"
    "damage: a level was rejected or has a pixel type none of the six, or the file is\n"
    "cut short (the command still did its work). Over many files the status is the worst\n"
    "of them.\n";

}  // namespace

namespace {

int RunCommand(std::span<const std::string> args);

}  // namespace

// Every command's result is what it prints: one that cannot be written (a full disk, a closed
// pipe) fails the command.
int RunTool(std::span<const std::string> args) {
    std::clearerr(stdout);
    const int status = RunCommand(args);
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        const int error = errno != 0 ? errno : EIO;
        std::clearerr(stdout);
        return tool::Worse(
            status, tool::Fail(Status::FromErrno("cannot write", error).In("standard output")));
    }
    return status;
}

namespace {

int RunCommand(std::span<const std::string> args) {
    if (args.empty()) {
        std::fputs(kUsageText, stderr);
        return tool::kUsage;
    }
    const std::string& command = args[0];
    if (command == "--version") {
        std::puts("korvale-tool " KORVALE_VERSION);
        return tool::kOk;
    }
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsageText, stdout);
        return tool::kOk;
    }
    const auto rest = args.subspan(1);
    if (std::find(rest.begin(), rest.end(), "--help") != rest.end()) {
        std::fputs(kUsageText, stdout);
        return tool::kOk;
    }
    // export may also write to standard output, so it counts its inputs itself.
    if (command != "export" && std::count(rest.begin(), rest.end(), "-") > 1) {
        return tool::UsageError("standard input (-) can be read only once");
    }
    if (command == "info") {
        return tool::RunInfo(rest);
    }
    if (command == "convert") {
        return tool::RunConvert(rest);
    }
    if (command == "import") {
        return tool::RunImport(rest);
    }
    if (command == "export") {
        return tool::RunExport(rest);
    }
    if (command == "compare") {
        return tool::RunCompare(rest);
    }
    if (command == "thumbnail") {
        return tool::RunThumbnail(rest);
    }
    return tool::UsageError("unknown command '" + command + "'");
}

}  // namespace

}  // namespace korvale
