#pragma once
// The About box: icon, name and version. OK and Cancel close it.

#include <QDialog>

namespace korvale {

class CAboutDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace korvale
