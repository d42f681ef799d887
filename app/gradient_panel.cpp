// SPDX-License-Identifier: MIT
// Purpose: a panel painted with a vertical three-colour gradient, the window's furniture.
#include "app/gradient_panel.h"

#include <QLinearGradient>
#include <QPainter>

namespace enlazio {

GradientPanel::GradientPanel(QColor start, QColor middle, QColor end, QWidget* parent)
    : QWidget(parent)
    , m_start(start)
    , m_middle(middle)
    , m_end(end)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void GradientPanel::paintEvent(QPaintEvent* event)
{
    Q_UNUSED(event);
    QPainter painter(this);
    // From the centre of the top row to the centre of the bottom row, so that both edge
    // rows carry their colour exactly.
    QLinearGradient gradient(0, 0.5, 0, height() - 0.5);
    gradient.setColorAt(0.0, m_end);
    gradient.setColorAt(0.5, m_middle);
    gradient.setColorAt(1.0, m_start);
    painter.fillRect(rect(), gradient);
}

} // namespace enlazio
