#include "fixed_dialog.h"

#include "fonts.h"
#include "twips.h"

FixedDialog::FixedDialog(QWidget* owner, const char* name, const QString& caption, int widthTwips, int heightTwips)
    : QDialog(owner) {
    setObjectName(QLatin1String(name));
    setWindowTitle(caption);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFont(formFont());
    setFixedSize(twipsSize(widthTwips, heightTwips));
}

void FixedDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_activated) return;
    m_activated = true;
    activate();
}
