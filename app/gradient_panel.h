// SPDX-License-Identifier: MIT
// Purpose: a panel painted with a vertical three-colour gradient, the window's furniture.
#pragma once

#include <QColor>
#include <QWidget>

namespace enlazio {

// End colour along the top edge, middle colour at half height, start colour along the bottom.
class GradientPanel : public QWidget {
    Q_OBJECT
public:
    GradientPanel(QColor start, QColor middle, QColor end, QWidget* parent = nullptr);

    QColor startColor() const { return m_start; }
    QColor middleColor() const { return m_middle; }
    QColor endColor() const { return m_end; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_start;
    QColor m_middle;
    QColor m_end;
};

} // namespace enlazio
