#include "CAboutDlg.h"

#include <QLabel>
#include <QPushButton>

#include "AppIcon.h"
#include "CKorvaleDlg.h"
#include "DialogUnits.h"

namespace korvale {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Korvale"));
    setWindowFlags(CKorvaleDlg::kFrameFlags);
    const DialogUnits units(font());
    setFixedSize(units.X(235), units.Y(55));

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("aboutIcon"));
    icon->setPixmap(KorvaleIcon().pixmap(32, 32));
    icon->setGeometry(units.Rect(11, 17, 20, 20));
    icon->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* name = new QLabel(QStringLiteral("Korvale Version 1.0"), this);
    name->setTextFormat(Qt::PlainText);
    name->setGeometry(units.Rect(40, 10, 119, 8));

    auto* line = new QLabel(tr("SRB texture record editor"), this);
    line->setTextFormat(Qt::PlainText);
    line->setGeometry(units.Rect(40, 25, 119, 8));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("aboutOk"));
    ok->setDefault(true);
    ok->setGeometry(units.Rect(178, 7, 50, 14));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    ok->setFocus();
}

}  // namespace korvale
