// Korvale's GIMP 2.10 plug-in: the procedures GIMP calls to open SRB and MIP files (recognised
// by their first bytes as well as by name), to show their thumbnails and to export images as
// them. Parsing GIMP's parameters and presenting results is all it does; the work is the
// operations library's.

#include <gegl.h>
#include <libgimp/gimp.h>

#include <array>
#include <string>

#include "ExportDialog.h"
#include "ExportForm.h"
#include "ExportTexture.h"
#include "FileKind.h"
#include "OpenTexture.h"

namespace {

using korvale::FileKind;
using korvale::FileSignature;

struct Kind {
    FileKind kind;
    const char* load;
    const char* save;
    const char* loadLabel;
    const char* saveLabel;
};
constexpr std::array kKinds = {
    Kind{FileKind::kSrb, "file-korvale-srb-load", "file-korvale-srb-save", "Korvale SRB texture",
         "Korvale SRB texture"},
    Kind{FileKind::kMip, "file-korvale-mip-load", "file-korvale-mip-save", "Korvale MIP texture",
         "Korvale MIP texture"},
};
constexpr const char* kThumbnail = "file-korvale-load-thumb";

// GIMP's magic for a kind: its bytes at offset 0 from the file-kind table, as a string with
// every byte that is not a letter or digit in octal.
std::string Magic(const FileSignature& signature) {
    std::string magic = "0,string,";
    for (const std::uint8_t byte : signature.magic) {
        if (g_ascii_isalnum(static_cast<gchar>(byte))) {
            magic += static_cast<char>(byte);
        } else {
            std::array<char, 8> octal{};
            g_snprintf(octal.data(), octal.size(), "\\%03o", byte);
            magic += octal.data();
        }
    }
    return magic;
}

void Query() {
    static GimpParamDef loadArgs[] = {
        {GIMP_PDB_INT32, const_cast<gchar*>("run-mode"), const_cast<gchar*>("The run mode")},
        {GIMP_PDB_STRING, const_cast<gchar*>("filename"), const_cast<gchar*>("The file to open")},
        {GIMP_PDB_STRING, const_cast<gchar*>("raw-filename"),
         const_cast<gchar*>("The name entered")},
        {GIMP_PDB_INT32, const_cast<gchar*>("top-only"),
         const_cast<gchar*>("Only the top level, no layers for the others (TRUE, FALSE)")},
    };
    static GimpParamDef loadReturns[] = {
        {GIMP_PDB_IMAGE, const_cast<gchar*>("image"), const_cast<gchar*>("The opened image")},
    };
    static GimpParamDef thumbArgs[] = {
        {GIMP_PDB_STRING, const_cast<gchar*>("filename"), const_cast<gchar*>("The file")},
        {GIMP_PDB_INT32, const_cast<gchar*>("thumb-size"), const_cast<gchar*>("Preferred size")},
    };
    static GimpParamDef thumbReturns[] = {
        {GIMP_PDB_IMAGE, const_cast<gchar*>("image"), const_cast<gchar*>("The thumbnail")},
        {GIMP_PDB_INT32, const_cast<gchar*>("image-width"), const_cast<gchar*>("Texture width")},
        {GIMP_PDB_INT32, const_cast<gchar*>("image-height"), const_cast<gchar*>("Texture height")},
    };
    static GimpParamDef saveArgs[] = {
        {GIMP_PDB_INT32, const_cast<gchar*>("run-mode"), const_cast<gchar*>("The run mode")},
        {GIMP_PDB_IMAGE, const_cast<gchar*>("image"), const_cast<gchar*>("The image")},
        {GIMP_PDB_DRAWABLE, const_cast<gchar*>("drawable"),
         const_cast<gchar*>("Unused: every layer counts")},
        {GIMP_PDB_STRING, const_cast<gchar*>("filename"), const_cast<gchar*>("The file to write")},
        {GIMP_PDB_STRING, const_cast<gchar*>("raw-filename"),
         const_cast<gchar*>("The name entered")},
        {GIMP_PDB_STRING, const_cast<gchar*>("type"),
         const_cast<gchar*>(
             "Pixel type: pal4, rgb565, argb1555, argb4444, 0..5; \"\" like the original")},
        {GIMP_PDB_STRING, const_cast<gchar*>("palette"),
         const_cast<gchar*>("shared, per-level, keep or a palette file; \"\" like the original")},
        {GIMP_PDB_INT32, const_cast<gchar*>("dither"),
         const_cast<gchar*>("Error diffusion (TRUE, FALSE)")},
        {GIMP_PDB_INT32, const_cast<gchar*>("levels-from-image"),
         const_cast<gchar*>(
             "Make every level from the image, not from layers of its size (TRUE, FALSE)")},
        {GIMP_PDB_STRING, const_cast<gchar*>("filter"),
         const_cast<gchar*>("area, mitchell, catmullrom, cubic; \"\" like the original")},
        {GIMP_PDB_INT32, const_cast<gchar*>("top-width"),
         const_cast<gchar*>("Top level width; 0 like the original")},
        {GIMP_PDB_INT32, const_cast<gchar*>("top-height"), const_cast<gchar*>("Top level height")},
        {GIMP_PDB_STRING, const_cast<gchar*>("values"),
         const_cast<gchar*>("The six SRB values, separated by commas; \"\" kept as they are")},
        {GIMP_PDB_STRING, const_cast<gchar*>("metres"),
         const_cast<gchar*>("The companion's size in metres; \"\" kept as it is")},
    };
    for (const Kind& kind : kKinds) {
        const FileSignature& signature = *korvale::SignatureOf(kind.kind);
        const std::string extension(signature.extension);
        const std::string mime(signature.mimeType);
        gimp_install_procedure(kind.load, "Opens a Korvale texture with every level as a layer",
                               "The top level is the image; every other level is a hidden layer "
                               "named with its size and slot.",
                               "Korvale", "Korvale", "2026", kind.loadLabel, nullptr, GIMP_PLUGIN,
                               G_N_ELEMENTS(loadArgs), G_N_ELEMENTS(loadReturns), loadArgs,
                               loadReturns);
        gimp_register_file_handler_mime(kind.load, mime.c_str());
        gimp_register_magic_load_handler(kind.load, extension.c_str(), "",
                                         Magic(signature).c_str());
        gimp_register_thumbnail_loader(kind.load, kThumbnail);
        gimp_install_procedure(kind.save, "Exports an image as a Korvale texture",
                               "Like the original it was opened from, unless the import's choices "
                               "are given: each level from the layer of its size.",
                               "Korvale", "Korvale", "2026", kind.saveLabel, "*", GIMP_PLUGIN,
                               G_N_ELEMENTS(saveArgs), 0, saveArgs, nullptr);
        gimp_register_file_handler_mime(kind.save, mime.c_str());
        gimp_register_save_handler(kind.save, extension.c_str(), "");
    }
    gimp_install_procedure(kThumbnail, "A thumbnail of a Korvale texture", "", "Korvale", "Korvale",
                           "2026", nullptr, nullptr, GIMP_PLUGIN, G_N_ELEMENTS(thumbArgs),
                           G_N_ELEMENTS(thumbReturns), thumbArgs, thumbReturns);
}

// The results GIMP reads: a status, then an error text or the procedure's values.
std::array<GimpParam, 4> gResults;

void Fail(const std::string& error, int& count) {
    static std::string text;
    text = error;
    gResults[0].data.d_status = GIMP_PDB_EXECUTION_ERROR;
    gResults[1].type = GIMP_PDB_STRING;
    gResults[1].data.d_string = const_cast<gchar*>(text.c_str());
    count = 2;
}

std::string StringParam(const GimpParam* params, int count, int index) {
    return index < count && params[index].data.d_string != nullptr ? params[index].data.d_string
                                                                   : "";
}

int IntParam(const GimpParam* params, int count, int index) {
    return index < count ? params[index].data.d_int32 : 0;
}

void Run(const gchar* name, gint count, const GimpParam* params, gint* resultCount,
         GimpParam** results) {
    gegl_init(nullptr, nullptr);
    *results = gResults.data();
    *resultCount = 1;
    gResults[0].type = GIMP_PDB_STATUS;
    gResults[0].data.d_status = GIMP_PDB_SUCCESS;
    const std::string procedure = name;
    if (procedure == kThumbnail) {
        std::string error;
        int width = 0;
        int height = 0;
        const gint32 image = korvale::gimp::OpenThumbnail(
            StringParam(params, count, 0), IntParam(params, count, 1), width, height, error);
        if (image < 0) {
            Fail(error, *resultCount);
            return;
        }
        gResults[1].type = GIMP_PDB_IMAGE;
        gResults[1].data.d_image = image;
        gResults[2].type = GIMP_PDB_INT32;
        gResults[2].data.d_int32 = width;
        gResults[3].type = GIMP_PDB_INT32;
        gResults[3].data.d_int32 = height;
        *resultCount = 4;
        return;
    }
    for (const Kind& kind : kKinds) {
        if (procedure == kind.load) {
            std::string error;
            std::string damage;
            const std::string path = StringParam(params, count, 1);
            const gint32 image =
                korvale::gimp::OpenTexture(path, IntParam(params, count, 3) != 0, error, damage);
            if (image < 0) {
                Fail(error, *resultCount);
                return;
            }
            if (!damage.empty()) {
                g_message("%s is damaged; what loaded is shown.\n%s", path.c_str(), damage.c_str());
            }
            gResults[1].type = GIMP_PDB_IMAGE;
            gResults[1].data.d_image = image;
            *resultCount = 2;
            return;
        }
        if (procedure == kind.save) {
            const bool asSrb = kind.kind == FileKind::kSrb;
            const gint32 image = params[1].data.d_image;
            korvale::gimp::ExportChoices choices;
            if (IntParam(params, count, 0) == GIMP_RUN_INTERACTIVE) {
                const korvale::gimp::ExportForm shown =
                    korvale::gimp::FormFor(korvale::gimp::KeptShape(image));
                korvale::gimp::ExportForm left;
                if (!korvale::gimp::RunExportDialog(kind.saveLabel, asSrb, shown, left)) {
                    gResults[0].data.d_status = GIMP_PDB_CANCEL;
                    return;
                }
                choices = korvale::gimp::ChoicesOf(shown, left);
            } else {
                choices.type = StringParam(params, count, 5);
                choices.palette = StringParam(params, count, 6);
                choices.dither = IntParam(params, count, 7) != 0;
                choices.levelsFromImage = IntParam(params, count, 8) != 0;
                choices.filter = StringParam(params, count, 9);
                choices.topWidth = IntParam(params, count, 10);
                choices.topHeight = IntParam(params, count, 11);
                choices.values = StringParam(params, count, 12);
                choices.metres = StringParam(params, count, 13);
            }
            std::string note;
            const korvale::Status saved = korvale::gimp::ExportTexture(
                image, StringParam(params, count, 3), asSrb, choices, note);
            if (!saved) {
                Fail(saved.Text(), *resultCount);
                return;
            }
            if (!note.empty() && IntParam(params, count, 0) == GIMP_RUN_INTERACTIVE) {
                g_message("%s", note.c_str());
            }
            return;
        }
    }
    gResults[0].data.d_status = GIMP_PDB_CALLING_ERROR;
}

}  // namespace

const GimpPlugInInfo PLUG_IN_INFO = {nullptr, nullptr, Query, Run};

int main(int argc, char* argv[]) {
    return gimp_main(&PLUG_IN_INFO, argc, argv);
}
