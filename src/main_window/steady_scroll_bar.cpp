#include "steady_scroll_bar.h"

#include <QStyle>
#include <QStyleOptionSlider>

#include <utility>

SteadyScrollBar::SteadyScrollBar(Qt::Orientation orientation, QWidget* parent) : QScrollBar(orientation, parent) {}

SteadyScrollBar::Look SteadyScrollBar::look() const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    return {style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this),
            value() == minimum(), value() == maximum()};
}

void SteadyScrollBar::setHeld(bool held) {
    m_held = held;
    checkLook();
}

void SteadyScrollBar::sliderChange(SliderChange change) {
    if (change != SliderRangeChange && change != SliderValueChange && change != SliderStepsChange) {
        QScrollBar::sliderChange(change);
        return;
    }
    // A range that grows is followed by the value that keeps the handle at the end: the look is
    // compared once both are done.
    if (std::exchange(m_changed, true) || m_held) return;
    QMetaObject::invokeMethod(this, &SteadyScrollBar::checkLook, Qt::QueuedConnection);
}

void SteadyScrollBar::checkLook() {
    if (m_held || !std::exchange(m_changed, false)) return;
    if (look() != m_drawn) update();
}

void SteadyScrollBar::paintEvent(QPaintEvent* event) {
    m_drawn = look();
    QScrollBar::paintEvent(event);
}
