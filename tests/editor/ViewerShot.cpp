// Pictures of the editor for people to look at: the dialog, the texture window on a small set
// with alpha at 1x and 8x and on its palettised level, and the import dialog's preview of it. Not a
// test; run it under a display (or offscreen) with a folder to write the PNG files into.

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <cmath>
#include <cstdio>
#include <string>

#include "CImportDlg.h"
#include "CKorvaleDlg.h"
#include "CLevelCanvas.h"
#include "CPaletteView.h"
#include "CTextureViewer.h"
#include "LevelImage.h"
#include "WidgetProbe.h"

namespace {

using namespace korvale;
using korvale::test::MoveMouse;

class OnePathServices : public DialogServices {
  public:
    std::optional<QString> ChooseFile(QWidget*, const FileRequest&) override { return path; }
    std::optional<QString> ChooseFolder(QWidget*, const QString&) override { return {}; }
    void ShowMessage(QWidget*, const QString&) override {}
    bool Ask(QWidget*, const QString&) override { return false; }
    SaveChoice AskToSave(QWidget*, const QString&) override { return SaveChoice::kCancel; }
    void ShowAbout(QWidget*) override {}
    bool RunModal(QDialog&) override { return false; }
    bool OpenWithDesktop(const QString&) override { return false; }
    QString path;
};

// Colour by angle around the centre, alpha falling off with the distance from it.
CBmap Argb4444Disc(int side) {
    CBmap level;
    if (!level.Allocate(5, side, side)) {
        return level;
    }
    const double centre = (side - 1) / 2.0;
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const double dx = x - centre;
            const double dy = y - centre;
            const double angle = std::atan2(dy, dx);
            const double distance = std::hypot(dx, dy) / (side / 2.0);
            auto code = [](double v) {
                return static_cast<int>(std::clamp(v, 0.0, 1.0) * 15.0 + 0.5) << 4;
            };
            const auto i = static_cast<std::size_t>(y * side + x);
            level.Plane(PlaneId::kR)[i] = code(0.5 + 0.5 * std::cos(angle));
            level.Plane(PlaneId::kG)[i] = code(0.5 + 0.5 * std::cos(angle - 2.094));
            level.Plane(PlaneId::kB)[i] = code(0.5 + 0.5 * std::cos(angle + 2.094));
            level.Plane(PlaneId::kA)[i] = code(1.2 - distance);
            level.Plane(PlaneId::kIndex)[i] = 255;
        }
    }
    return level;
}

CCmap RampPalette() {
    CCmap palette;
    for (int k = 0; k < CCmap::kEntries; ++k) {
        palette.Entry(k) = Colour{k * 17, 255 - k * 12, 64 + k * 8, k == 0 ? 0 : 128 + k * 8};
    }
    return palette;
}

// Rings of palette indices.
CBmap Rings(int side, const CCmap& palette) {
    CBmap level;
    if (!level.Allocate(0, side, side)) {
        return level;
    }
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const int k = static_cast<int>(std::hypot(x - side / 2, y - side / 2)) % 16;
            const auto i = static_cast<std::size_t>(y * side + x);
            const Colour& c = palette.Entry(k);
            level.Plane(PlaneId::kR)[i] = c.r;
            level.Plane(PlaneId::kG)[i] = c.g;
            level.Plane(PlaneId::kB)[i] = c.b;
            level.Plane(PlaneId::kA)[i] = c.a;
            level.Plane(PlaneId::kIndex)[i] = k;
        }
    }
    return level;
}

bool Save(QWidget* widget, const QString& path) {
    QApplication::processEvents();
    const bool saved = widget->grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: korvale_viewer_shot FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);

    CMip mip;
    mip.miptype = 2;
    mip.SetRepeatCode(0);
    const CCmap ramp = RampPalette();
    if (!mip.SetLevel(Argb4444Disc(64)) || !mip.SetLevel(Rings(32, ramp), &ramp) ||
        mip.Save((folder + QStringLiteral("/shot.mip")).toStdString()) != 1) {
        std::fprintf(stderr, "could not make the sample set\n");
        return 1;
    }

    CTextureDocument document;
    OnePathServices services;
    services.path = folder + QStringLiteral("/shot.mip");
    CKorvaleDlg dialog(document, services);
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog)) {
        return 1;
    }
    dialog.OnLoadMip();
    bool ok = Save(&dialog, folder + QStringLiteral("/dialog.png"));

    dialog.OnTexture();
    CTextureViewer* viewer = dialog.TextureViewer();
    if (!QTest::qWaitForWindowExposed(viewer)) {
        return 1;
    }
    viewer->resize(900, 660);  // the size it has with room beside the dialog
    viewer->SetZoom(1);
    MoveMouse(viewer->Canvas(), QPoint(40, 20));
    ok = Save(viewer, folder + QStringLiteral("/viewer-1x.png")) && ok;
    viewer->SetZoom(8);
    MoveMouse(viewer->Canvas(), QPoint(8 * 40 + 3, 8 * 20 + 3));
    ok = Save(viewer, folder + QStringLiteral("/viewer-8x.png")) && ok;
    viewer->SelectSlot(5);
    MoveMouse(viewer->PaletteView(), viewer->PaletteView()->SwatchRect(6).center());
    ok = Save(viewer, folder + QStringLiteral("/viewer-palette.png")) && ok;

    const Image picture = LevelToImage(mip.levels[6], mip.levelPalettes[6]);
    CImportDlg import(picture, "disc.png", services);
    import.show();
    if (!QTest::qWaitForWindowExposed(&import)) {
        return 1;
    }
    import.RefreshPreview();  // made on a thread of its own: shown once it lands
    if (!QTest::qWaitFor([&] { return !import.PreviewPending(); }, 30000)) {
        return 1;
    }
    ok = Save(&import, folder + QStringLiteral("/import.png")) && ok;
    return ok ? 0 : 1;
}
