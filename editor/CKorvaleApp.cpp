#include "CKorvaleApp.h"

#include "CKorvaleDlg.h"
#include "QtDialogServices.h"

namespace korvale {

CKorvaleApp theApp;

bool CKorvaleApp::InitInstance() {
    QtDialogServices services;
    CKorvaleDlg dialog(record_, services);
    dialog.exec();
    return false;
}

}  // namespace korvale
