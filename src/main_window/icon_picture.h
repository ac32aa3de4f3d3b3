#pragma once

#include <QLabel>

// A picture box showing the program icon; reports clicks.
class IconPicture : public QLabel {
    Q_OBJECT
public:
    explicit IconPicture(QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};
