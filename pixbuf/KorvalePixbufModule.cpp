// Korvale's gdk-pixbuf loader: the entry points gdk-pixbuf looks up in a loader module. The
// format is described from the file-kind table, so the first bytes that pick this loader and
// the MIME types it is registered for are those the desktop's file types say.

#include <gdk-pixbuf/gdk-pixbuf-io.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <array>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "FileKind.h"
#include "TextureIncrement.h"

namespace {

using korvale::FileKind;
using korvale::Status;
using korvale::TextureIncrement;

constexpr std::array kKinds{FileKind::kSrb, FileKind::kMip};

void SetError(GError** error, const std::string& text) {
    g_set_error_literal(error, GDK_PIXBUF_ERROR, GDK_PIXBUF_ERROR_CORRUPT_IMAGE, text.c_str());
}

// The reason a status gives, as gdk-pixbuf's caller shows it after the file's name.
bool Report(const Status& status, GError** error) {
    if (status.Ok()) {
        return true;
    }
    SetError(error, status.Text());
    return false;
}

// Nothing thrown may cross into gdk-pixbuf's C: a failed allocation is a failed load.
template <typename Work>
gboolean Guarded(GError** error, Work work) {
    try {
        return work() ? TRUE : FALSE;
    } catch (const std::bad_alloc&) {
        SetError(error, "not enough memory to load the texture");
    } catch (const std::exception& e) {
        SetError(error, e.what());
    }
    return FALSE;
}

gpointer BeginLoad(GdkPixbufModuleSizeFunc size, GdkPixbufModulePreparedFunc prepared,
                   GdkPixbufModuleUpdatedFunc updated, gpointer userData, GError** error) {
    try {
        return new TextureIncrement(size, prepared, updated, userData);
    } catch (const std::bad_alloc&) {
        SetError(error, "not enough memory to load the texture");
        return nullptr;
    }
}

gboolean LoadIncrement(gpointer context, const guchar* buffer, guint size, GError** error) {
    auto* increment = static_cast<TextureIncrement*>(context);
    return Guarded(error, [&] {
        return Report(increment->Append(std::span(buffer, static_cast<std::size_t>(size))), error);
    });
}

gboolean StopLoad(gpointer context, GError** error) {
    const std::unique_ptr<TextureIncrement> increment(static_cast<TextureIncrement*>(context));
    return Guarded(error, [&] { return Report(increment->Finish(), error); });
}

// The strings a GdkPixbufFormat points at, made once from the table and kept for the life of
// the process, as gdk-pixbuf keeps the format.
struct FormatText {
    std::vector<std::string> prefixes;
    std::vector<std::string> masks;
    std::vector<GdkPixbufModulePattern> patterns;
    std::vector<std::string> mimeTypes;
    std::vector<std::string> extensions;
    std::vector<gchar*> mimeTypePointers;
    std::vector<gchar*> extensionPointers;

    FormatText() {
        for (const FileKind kind : kKinds) {
            const korvale::FileSignature& s = *korvale::SignatureOf(kind);
            // A pattern is a C string: a zero byte is matched by the mask's 'z' instead.
            std::string prefix;
            std::string mask;
            for (const std::uint8_t byte : s.magic) {
                prefix.push_back(byte == 0 ? 'z' : static_cast<char>(byte));
                mask.push_back(byte == 0 ? 'z' : ' ');
            }
            prefixes.push_back(prefix);
            masks.push_back(mask);
            mimeTypes.emplace_back(s.mimeType);
            extensions.emplace_back(s.extension);
        }
        for (std::size_t i = 0; i < prefixes.size(); ++i) {
            patterns.push_back({prefixes[i].data(), masks[i].data(), 100});
            mimeTypePointers.push_back(mimeTypes[i].data());
            extensionPointers.push_back(extensions[i].data());
        }
        patterns.push_back({nullptr, nullptr, 0});
        mimeTypePointers.push_back(nullptr);
        extensionPointers.push_back(nullptr);
    }
};

}  // namespace

extern "C" {

G_MODULE_EXPORT void fill_vtable(GdkPixbufModule* module);
G_MODULE_EXPORT void fill_info(GdkPixbufFormat* info);

void fill_vtable(GdkPixbufModule* module) {
    module->begin_load = BeginLoad;
    module->load_increment = LoadIncrement;
    module->stop_load = StopLoad;
}

void fill_info(GdkPixbufFormat* info) {
    static FormatText text;
    static std::string name = "korvale";
    static std::string description = "Korvale SRB and MIP texture";
    static std::string license = "proprietary";
    info->name = name.data();
    info->signature = text.patterns.data();
    info->description = description.data();
    info->mime_types = text.mimeTypePointers.data();
    info->extensions = text.extensionPointers.data();
    // The loaders' trace is silenced per thread and nothing else is shared between loads.
    info->flags = GDK_PIXBUF_FORMAT_THREADSAFE;
    info->license = license.data();
}

}  // extern "C"
