#pragma once
// The application object: runs the main dialog over the one document (and its SRB record) every
// command works on, for the whole run.

#include <QString>

namespace korvale {

class CKorvaleApp {
  public:
    CKorvaleApp() = default;
    CKorvaleApp(const CKorvaleApp&) = delete;
    CKorvaleApp& operator=(const CKorvaleApp&) = delete;
    virtual ~CKorvaleApp() = default;

    // Runs the main dialog modally and returns false: the program ends when the dialog does.
    // A file named with SetStartFile is opened once the dialog is up. Needs a QApplication.
    bool InitInstance();

    // The file given on the command line (see CKorvaleDlg::OpenFile).
    void SetStartFile(const QString& path) { startFile_ = path; }

  private:
    QString startFile_;
};

// The one application object, in static storage.
extern CKorvaleApp theApp;

}  // namespace korvale
