#include "login_dialog.h"

#include "fixed_dialog.h"
#include "fonts.h"
#include "form_controls.h"
#include "icon_picture.h"
#include "message_box.h"
#include "platform/number_conversion.h"
#include "protocol/chat_protocol.h"
#include "protocol/chat_session.h"

#include <QDialog>
#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <algorithm>
#include <array>
#include <limits>

namespace {

// What a click on the picture offers as nick names, in turn.
const std::array<QString, 6> nickSuggestions = {
    QStringLiteral("NightOwl"),  QStringLiteral("Wanderer"),   QStringLiteral("Chatterbox"),
    QStringLiteral("Moonbeam"),  QStringLiteral("Pathfinder"), QStringLiteral("Tinkerer"),
};

// One to three decimal digits with a value from 0 to 255.
std::optional<quint8> addressByte(const QString& text) {
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,3}$"));
    if (!digits.match(text).hasMatch()) return std::nullopt;
    const int value = text.toInt();
    if (value > 255) return std::nullopt;
    return static_cast<quint8>(value);
}

} // namespace

class LoginWindow : public FixedDialog {
public:
    LoginWindow(frmLogin& properties, QWidget* owner, ChatSession& session)
        : FixedDialog(owner, "frmLogin", QStringLiteral("Parleon Connect to Server"), 4350, 1830),
          m_properties(properties), m_owner(session) {
        QLabel* addressLabel = placeLabel(this, "lblLabels", QStringLiteral("Server IP Address"), 105, 150, 1320, 270);
        static constexpr const char* boxNames[] = {"TextIP0", "TextIP1", "TextIP2", "TextIP3"};
        static constexpr const char* dotNames[] = {"Label1_0", "Label1_1", "Label1_2"};
        for (int i = 0; i < 4; ++i) {
            TextIP[i] = placeControl<QLineEdit>(this, boxNames[i], 1560 + 720 * i, 120, 495, 285);
            TextIP[i]->setMaxLength(3);
            TextIP[i]->installEventFilter(this);
            connect(TextIP[i], &QLineEdit::textChanged, this, [this, i] { TextIP_Change(i); });
            if (i < 3) {
                auto* dot = placeControl<QLabel>(this, dotNames[i], 2160 + 720 * i, 240, 135, 255);
                dot->setText(QStringLiteral("."));
                dot->setFont(formFont(true));
            }
        }
        addressLabel->setBuddy(TextIP[0]);
        QLabel* portLabel = placeLabel(this, "Label3", QStringLiteral("Server Port"), 120, 480, 1215, 255);
        Text2 = placeControl<QLineEdit>(this, "Text2", 1560, 480, 1215, 285);
        portLabel->setBuddy(Text2);
        Text2->setText(QStringLiteral("9843"));
        Text2->setEnabled(false);
        QLabel* nickLabel = placeLabel(this, "Label2", QStringLiteral("Your Nick Name"), 120, 840, 1215, 255);
        Text1 = placeControl<QLineEdit>(this, "Text1", 1560, 840, 2655, 285);
        nickLabel->setBuddy(Text1);
        Text1->setMaxLength(std::numeric_limits<int>::max());
        auto* picture = placeControl<IconPicture>(this, "Picture1", 480, 1200, 615, 615);
        cmdOK = placeControl<QPushButton>(this, "cmdOK", 1560, 1320, 1140, 390);
        cmdOK->setText(QStringLiteral("OK"));
        cmdOK->setDefault(true);
        cmdCancel = placeControl<QPushButton>(this, "cmdCancel", 2880, 1320, 1140, 390);
        cmdCancel->setText(QStringLiteral("Cancel"));

        static const char* const byteNames[] = {"first", "second", "third", "fourth"};
        for (int i = 0; i < 4; ++i)
            describeControl(TextIP[i], QStringLiteral("Server IP address, %1 number").arg(QLatin1String(byteNames[i])),
                            QStringLiteral("A number from 0 to 255"));
        describeControl(Text2, QStringLiteral("Server port"));
        describeControl(Text1, QStringLiteral("Your nick name"), QStringLiteral("At least 3 characters"));
        describeControl(picture, QStringLiteral("Suggest a nick name"));

        setTabOrder(TextIP[0], TextIP[1]);
        setTabOrder(TextIP[1], TextIP[2]);
        setTabOrder(TextIP[2], TextIP[3]);
        setTabOrder(TextIP[3], Text1);
        setTabOrder(Text1, cmdOK);
        setTabOrder(cmdOK, cmdCancel);

        connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
        connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
        connect(picture, &IconPicture::clicked, this, [this] { Picture1_Click(); });
    }

protected:
    void activate() override { Form_Activate(); }
    void cancel() override { cmdCancel_Click(); }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (const auto box = std::ranges::find(TextIP, watched); box != TextIP.end()) {
            const int i = int(box - TextIP.begin());
            if (event->type() == QEvent::FocusIn) TextIP_GotFocus(i);
            if (event->type() == QEvent::KeyPress && addressKey(i, *static_cast<QKeyEvent*>(event))) return true;
        }
        return FixedDialog::eventFilter(watched, event);
    }

    // A dot ends a box's number, as people type addresses; a whole address pasted into any box
    // fills all four. True when the key was taken.
    bool addressKey(int index, const QKeyEvent& key) {
        const bool justEntered = m_advancedTo == index;
        m_advancedTo = -1;
        if (key.text() == QLatin1String(".")) {
            // After a full box the focus has moved on already: the dot that follows stays here,
            // whatever the box held before.
            if (index < 3 && !justEntered) TextIP[index + 1]->setFocus();
            return true;
        }
        if (!key.matches(QKeySequence::Paste)) return false;
        const QStringList parts = QGuiApplication::clipboard()->text().trimmed().split(QLatin1Char('.'));
        if (parts.size() != 4) return false;
        for (int i = 0; i < 4; ++i) TextIP[i]->setText(parts[i].left(3));
        TextIP[3]->setFocus();
        return true;
    }

private:
    void Form_Activate() {
        const quint8 bytes[4] = {m_owner.lastIP_Byte1, m_owner.lastIP_Byte2, m_owner.lastIP_Byte3,
                                 m_owner.lastIP_Byte4};
        for (int i = 0; i < 4; ++i) TextIP[i]->setText(QString::number(bytes[i]));
        Text1->setText(m_owner.nickName);
        Text2->setText(QString::number(m_owner.parleonPort));
        m_properties.settingsValid = false;
        TextIP[0]->setFocus();
        // The box may have had the focus already, in which case no focus event selects it.
        TextIP_GotFocus(0);
    }

    void TextIP_Change(int index) {
        if (index == 3) return;
        if (TextIP[index]->text().size() <= 2) return;
        TextIP[index + 1]->setFocus();
        m_advancedTo = index + 1;
    }

    void TextIP_GotFocus(int index) {
        TextIP[index]->setSelection(0, static_cast<int>(TextIP[index]->text().size()));
    }

    void cmdOK_Click() {
        const QString nick = Text1->text();
        if (protocol::characterCount(nick) < protocol::MinNickNameLength) {
            showMessageBox(this, QStringLiteral("Bad Nick Name. Minimum 3 characters required."),
                             platform::MsgButtons::Ok, platform::MsgIcon::Exclamation);
            return;
        }
        std::array<quint8, 4> bytes{};
        bool allGood = true;
        for (int i = 0; i < 4; ++i) {
            const auto byte = addressByte(TextIP[i]->text());
            if (byte)
                bytes[static_cast<size_t>(i)] = *byte;
            else
                allGood = false;
        }
        if (!allGood) {
            showMessageBox(this, QStringLiteral("Bad IP Address. Try something like that: 127.0.0.1"),
                             platform::MsgButtons::Ok, platform::MsgIcon::Information);
            return;
        }
        m_owner.rHostIP = TextIP[0]->text() + QLatin1Char('.') + TextIP[1]->text() + QLatin1Char('.') +
                          TextIP[2]->text() + QLatin1Char('.') + TextIP[3]->text();
        if (const auto port = platform::toLong(Text2->text())) m_owner.parleonPort = *port;
        m_owner.nickName = nick;
        m_owner.lastIP_Byte1 = bytes[0];
        m_owner.lastIP_Byte2 = bytes[1];
        m_owner.lastIP_Byte3 = bytes[2];
        m_owner.lastIP_Byte4 = bytes[3];
        m_properties.settingsValid = true;
        accept();
    }

    void cmdCancel_Click() { done(QDialog::Rejected); }

    void Picture1_Click() {
        const auto position = static_cast<size_t>(m_properties.m_nickSuggestion);
        Text1->setText(nickSuggestions[position % nickSuggestions.size()]);
        m_properties.m_nickSuggestion = static_cast<qint32>((position + 1) % nickSuggestions.size());
    }

    frmLogin& m_properties;
    ChatSession& m_owner;
    std::array<QLineEdit*, 4> TextIP{};
    int m_advancedTo = -1; // the box the focus moved to when the one before it was full
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
};

void frmLogin::Show(QWidget* owner, ChatSession& session) {
    LoginWindow window(*this, owner, session);
    window.exec();
}
