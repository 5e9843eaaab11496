#pragma once
// The application object: owns the one SRB record every command works on, for the whole run.

#include "CSrb.h"

namespace korvale {

class CKorvaleApp {
  public:
    CKorvaleApp() = default;
    CKorvaleApp(const CKorvaleApp&) = delete;
    CKorvaleApp& operator=(const CKorvaleApp&) = delete;
    virtual ~CKorvaleApp() = default;

    // Runs the main dialog modally and returns false: the program ends when the dialog does.
    // Needs a QApplication.
    bool InitInstance();

    [[nodiscard]] CSrb& Record() { return record_; }

  private:
    CSrb record_;
};

// The one application object, in static storage.
extern CKorvaleApp theApp;

}  // namespace korvale
