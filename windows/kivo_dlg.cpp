// The setup window. For now it only offers its caption and the Close button.
#include "windows/kivo_dlg.h"

#include "platform/desktop_platform.h"
#include "resources/icons.h"

#include <QPushButton>
#include <QVBoxLayout>

namespace kivo {

CKivoDlg::CKivoDlg(Platform& platform) : platform_(platform) {
    auto* layout = new QVBoxLayout(this);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("1"));
    close->setDefault(true);
    layout->addWidget(close);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
}

std::string CKivoDlg::text(const char* builtIn) const {
    return texts ? lookUpText(*texts, builtIn) : std::string(builtIn);
}

bool CKivoDlg::OnInitDialog() {
    setWindowIcon(applicationIcon());
    modified = false;
    setWindowTitle(toQt(text("Velmik Fennaro Setup")));
    if (auto* close = findChild<QPushButton*>(QStringLiteral("1")))
        close->setText(toQt(text("Close")));
    return true;
}

} // namespace kivo
