#pragma once
// A group box that only frames its neighbours: a thin rounded line with its
// title set into the top edge, painted here rather than by a style sheet.

#include <QGroupBox>

namespace velmora {

class FramedGroupBox : public QGroupBox {
public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace velmora
