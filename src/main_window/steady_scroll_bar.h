#pragma once

#include <QScrollBar>

#include <optional>

// A scroll bar that is drawn again only when what it shows changes. A log that grows with every
// line changes its range each time, while the handle, pinned to the end at its least size, stays
// where it is: drawing it again would take about as long as drawing the text.
class SteadyScrollBar : public QScrollBar {
    Q_OBJECT
public:
    explicit SteadyScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

    // While held, changes wait: the look is compared once, when let go.
    void setHeld(bool held);

protected:
    void sliderChange(SliderChange change) override;
    void paintEvent(QPaintEvent* event) override;

private:
    struct Look {
        QRect handle;
        bool atMinimum = false;
        bool atMaximum = false;
        bool operator==(const Look&) const = default;
    };
    Look look() const;
    void checkLook();

    std::optional<Look> m_drawn; // none until first drawn
    bool m_changed = false; // since the look was last compared
    bool m_held = false;
};
