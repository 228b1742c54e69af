#include "qthost/ControlFactory.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTextOption>

#include "qthost/Icons.h"
#include "qthost/ListControls.h"
#include "qthost/QtText.h"

namespace velmora {
namespace {

constexpr int IconSize = 32; // an icon control takes its icon's size, as it always did

// A static text whose lines read "label<TAB>value": one tab stop just past the
// widest label, so that the values line up.
class TabbedLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent*) override {
        QTextOption option(alignment());
        option.setWrapMode(wordWrap() ? QTextOption::WordWrap : QTextOption::NoWrap);
        option.setTabStopDistance(tabStop());
        QPainter painter(this);
        painter.drawText(contentsRect(), text(), option);
    }

private:
    qreal tabStop() const {
        int widest = 0;
        for (const QString& line : text().split(QLatin1Char('\n')))
            widest = std::max(widest, fontMetrics().horizontalAdvance(line.section(QLatin1Char('\t'), 0, 0)));
        return widest + fontMetrics().averageCharWidth();
    }
};

QWidget* createLabel(const ControlTemplate& t, QWidget* parent, const QRect& rect, const DialogBaseUnits& units) {
    const QString text = qtText(t.text);
    auto* label = text.contains(QLatin1Char('\t')) ? new TabbedLabel(text, parent) : new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText); // "<Benutzerdefiniert>" is no markup
    const Qt::Alignment horizontal = t.kind == ControlKind::CenteredText ? Qt::AlignHCenter : Qt::AlignLeft;
    label->setAlignment(horizontal | Qt::AlignTop);
    label->setWordWrap(rect.height() >= 2 * units.height); // a one-line field never breaks its text
    return label;
}

QWidget* createIcon(const ControlTemplate& t, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setPixmap(iconForResource(t.iconResource).pixmap(QSize(IconSize, IconSize), label->devicePixelRatioF()));
    return label;
}

QWidget* createFrame(QWidget* parent) {
    auto* frame = new QFrame(parent);
    frame->setFrameStyle(QFrame::Box | QFrame::Plain);
    frame->setLineWidth(1);
    return frame;
}

QWidget* createGroupBox(const ControlTemplate& t, QWidget* parent) {
    auto* box = new QGroupBox(qtText(t.text), parent);
    // It only frames its neighbours: it must neither cover them nor take their clicks.
    box->setAttribute(Qt::WA_TransparentForMouseEvents);
    return box;
}

QWidget* createButton(const ControlTemplate& t, QWidget* parent) {
    auto* button = new QPushButton(qtText(t.text), parent);
    button->setAutoDefault(false);
    button->setDefault(t.kind == ControlKind::DefaultPushButton);
    return button;
}

QWidget* createComboBox(const ControlTemplate& t, QWidget* parent) {
    auto* combo = new QComboBox(parent);
    if (t.sorted) markSorted(*combo);
    if (t.kind != ControlKind::DropDownCombo) return combo;
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert); // Enter never adds an entry
    combo->setCompleter(nullptr);                // no text the user did not type
    clearSelectionOnTyping(*combo);
    if (t.textLimit > 0) combo->lineEdit()->setMaxLength(t.textLimit);
    return combo;
}

QWidget* createListBox(const ControlTemplate& t, QWidget* parent) {
    auto* list = new QListWidget(parent);
    if (t.sorted) markSorted(*list);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return list;
}

QWidget* createCheckable(const ControlTemplate& t, QWidget* parent) {
    if (t.kind == ControlKind::CheckBox) return new QCheckBox(qtText(t.text), parent);
    auto* radio = new QRadioButton(qtText(t.text), parent);
    radio->setAutoExclusive(false); // the host keeps one group per dialog itself
    return radio;
}

QWidget* createWidget(const ControlTemplate& t, QWidget* parent, const QRect& rect, const DialogBaseUnits& units) {
    switch (t.kind) {
    case ControlKind::Icon: return createIcon(t, parent);
    case ControlKind::Text:
    case ControlKind::CenteredText: return createLabel(t, parent, rect, units);
    case ControlKind::BlackFrame: return createFrame(parent);
    case ControlKind::GroupBox: return createGroupBox(t, parent);
    case ControlKind::PushButton:
    case ControlKind::DefaultPushButton: return createButton(t, parent);
    case ControlKind::DropDownList:
    case ControlKind::DropDownCombo: return createComboBox(t, parent);
    case ControlKind::ListBox: return createListBox(t, parent);
    case ControlKind::CheckBox:
    case ControlKind::RadioButton: return createCheckable(t, parent);
    }
    return new QWidget(parent);
}

// A combo box's template height is that of its opened list; closed it is as
// high as its font needs.
void placeComboBox(QComboBox& combo, const QRect& rect) {
    const int closedHeight = combo.sizeHint().height();
    combo.setGeometry(rect.x(), rect.y(), rect.width(), closedHeight);
    const int itemHeight = std::max(1, combo.fontMetrics().height() + 4);
    combo.setMaxVisibleItems(std::max(4, (rect.height() - closedHeight) / itemHeight));
}

void place(QWidget& widget, const ControlTemplate& t, const QRect& rect) {
    if (t.kind == ControlKind::Icon) {
        widget.setGeometry(rect.x(), rect.y(), IconSize, IconSize);
    } else if (auto* combo = qobject_cast<QComboBox*>(&widget)) {
        placeComboBox(*combo, rect);
    } else {
        widget.setGeometry(rect);
    }
}

bool takesInput(ControlKind kind) {
    switch (kind) {
    case ControlKind::Icon:
    case ControlKind::Text:
    case ControlKind::CenteredText:
    case ControlKind::BlackFrame:
    case ControlKind::GroupBox: return false;
    default: return true;
    }
}

} // namespace

bool isListKind(ControlKind kind) {
    return kind == ControlKind::DropDownList || kind == ControlKind::DropDownCombo || kind == ControlKind::ListBox;
}

QWidget* createControl(const ControlTemplate& tmpl, QWidget* parent, const DialogBaseUnits& units) {
    const QRect rect = units.toPixels(tmpl.x, tmpl.y, tmpl.width, tmpl.height);
    QWidget* widget = createWidget(tmpl, parent, rect, units);
    place(*widget, tmpl, rect);
    if (!takesInput(tmpl.kind)) widget->setFocusPolicy(Qt::NoFocus);
    else widget->setFocusPolicy(tmpl.tabStop ? Qt::StrongFocus : Qt::ClickFocus);
    if (tmpl.kind == ControlKind::GroupBox || tmpl.kind == ControlKind::BlackFrame) widget->lower();
    widget->setVisible(tmpl.visible);
    return widget;
}

} // namespace velmora
