#pragma once

#include <QDialog>

// A fixed-size modal dialog of this program, laid out in twips: the program icon and font, no
// minimize or maximize box. Esc and the close box go to cancel(); activate() runs once, when the
// dialog is first shown.
class FixedDialog : public QDialog {
public:
    FixedDialog(QWidget* owner, const char* name, const QString& caption, int widthTwips, int heightTwips);

    void reject() override { cancel(); }

protected:
    virtual void activate() {}
    virtual void cancel() { done(QDialog::Rejected); }
    void showEvent(QShowEvent* event) override;

private:
    bool m_activated = false;
};
