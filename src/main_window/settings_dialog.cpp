#include "settings_dialog.h"

#include "fixed_dialog.h"
#include "form_controls.h"
#include "icon_picture.h"
#include "message_box.h"
#include "platform/number_conversion.h"
#include "protocol/chat_session.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

class DialogWindow : public FixedDialog {
public:
    DialogWindow(Dialog& properties, QWidget* owner, ChatSession& session)
        : FixedDialog(owner, "Dialog", QStringLiteral("Parleon Server Settings"), 3870, 1695),
          m_properties(properties), m_owner(session) {
        QLabel* portLabel = placeLabel(this, "Label1", QStringLiteral("Run Server at Port:"), 360, 240, 2055, 255);
        Text1 = placeControl<QLineEdit>(this, "Text1", 2760, 240, 975, 285);
        Text1->setEnabled(false);
        portLabel->setBuddy(Text1);
        QLabel* maximumLabel =
            placeLabel(this, "Label2", QStringLiteral("Allow max. Clients on Server:"), 360, 720, 2055, 255);
        Text2 = placeControl<QLineEdit>(this, "Text2", 2760, 720, 975, 285);
        maximumLabel->setBuddy(Text2);
        describeControl(placeControl<IconPicture>(this, "Picture1", 240, 1080, 615, 495), QStringLiteral("Parleon"));
        OKButton = placeControl<QPushButton>(this, "OKButton", 1080, 1200, 1215, 375);
        OKButton->setText(QStringLiteral("OK"));
        OKButton->setDefault(true);
        CancelButton = placeControl<QPushButton>(this, "CancelButton", 2520, 1200, 1215, 375);
        CancelButton->setText(QStringLiteral("Cancel"));

        describeControl(Text1, QStringLiteral("Server port"));
        describeControl(Text2, QStringLiteral("Maximum number of clients"));

        setTabOrder(OKButton, CancelButton);
        setTabOrder(CancelButton, Text2);

        connect(OKButton, &QPushButton::clicked, this, [this] { OKButton_Click(); });
        connect(CancelButton, &QPushButton::clicked, this, [this] { CancelButton_Click(); });
        Form_Load();
    }

protected:
    void activate() override { Form_Activate(); }
    void cancel() override { CancelButton_Click(); }

private:
    void Form_Load() {
        Text1->setText(QString::number(m_owner.parleonPort));
        Text2->setText(QString::number(m_owner.maxClients));
        m_properties.settingsValid = false;
    }

    void Form_Activate() {
        Text2->setFocus();
        Text2->setSelection(0, static_cast<int>(Text2->text().size()));
    }

    void OKButton_Click() {
        const auto port = platform::toLong(Text1->text());
        if (port) m_owner.parleonPort = *port;
        const auto maximum = platform::toLong(Text2->text());
        if (!port || !maximum) {
            showMessageBox(this,
                             QStringLiteral("Cannot apply settings.\r\nTry something like that: Port=9843 and Max=10"),
                             platform::MsgButtons::Ok, platform::MsgIcon::Exclamation);
            return;
        }
        m_owner.maxClients = *maximum;
        m_properties.settingsValid = true;
        accept();
    }

    void CancelButton_Click() { done(QDialog::Rejected); }

    Dialog& m_properties;
    ChatSession& m_owner;
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QPushButton* OKButton = nullptr;
    QPushButton* CancelButton = nullptr;
};

} // namespace

void Dialog::Show(QWidget* owner, ChatSession& session) {
    DialogWindow window(*this, owner, session);
    window.exec();
}
