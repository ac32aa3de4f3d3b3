#include "message_box.h"

#include <QMessageBox>
#include <QPointer>

using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;

MsgResult showMessageBox(QWidget* owner, const QString& text, MsgButtons buttons, MsgIcon icon) {
    QPointer<QMessageBox> box = new QMessageBox(owner);
    box->setAttribute(Qt::WA_DeleteOnClose, false);
    box->setWindowTitle(QStringLiteral("Parleon"));
    box->setText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    box->setProperty(MessageTextProperty, text);
    switch (icon) {
    case MsgIcon::None: box->setIcon(QMessageBox::NoIcon); break;
    case MsgIcon::Exclamation: box->setIcon(QMessageBox::Warning); break;
    case MsgIcon::Information: box->setIcon(QMessageBox::Information); break;
    }
    if (buttons == MsgButtons::YesNo) {
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box->setDefaultButton(QMessageBox::Yes);
        box->setEscapeButton(QMessageBox::No);
    } else {
        box->setStandardButtons(QMessageBox::Ok);
    }
    const int answer = box->exec();
    delete box.data();
    if (buttons == MsgButtons::Ok) return MsgResult::Ok;
    return answer == QMessageBox::Yes ? MsgResult::Yes : MsgResult::No;
}
