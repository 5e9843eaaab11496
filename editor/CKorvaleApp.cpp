#include "CKorvaleApp.h"

#include <QTimer>

#include "CKorvaleDlg.h"
#include "CTextureDocument.h"
#include "QtDialogServices.h"

namespace korvale {

CKorvaleApp theApp;

bool CKorvaleApp::InitInstance() {
    QtDialogServices services;
    CTextureDocument document;
    CKorvaleDlg dialog(document, services);
    // Once the dialog is up: the texture window where it was when the program last ended.
    QTimer::singleShot(0, &dialog, [&dialog] { dialog.RestoreWindows(); });
    if (!startFile_.isEmpty()) {
        // From inside the dialog's loop, so that a message about the file stands over the
        // dialog rather than before it.
        QTimer::singleShot(0, &dialog, [&dialog, file = startFile_] { dialog.OpenFile(file); });
    }
    dialog.exec();
    return false;
}

}  // namespace korvale
