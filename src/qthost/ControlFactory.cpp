#include "qthost/ControlFactory.h"

#include <algorithm>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionFrame>
#include <QTextOption>
#include <QValidator>

#include "qthost/FramedGroupBox.h"
#include "qthost/Icons.h"
#include "qthost/ListControls.h"
#include "qthost/QtText.h"

namespace velmora {
namespace {

// An icon control takes its icon's size, as it always did, unless its
// rectangle is smaller (a small dialog font): then it shrinks to fit.
constexpr int IconSize = 32;

int iconSizeFor(const QRect& rect) { return std::min({IconSize, rect.width(), rect.height()}); }

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

QWidget* createIcon(const ControlTemplate& t, QWidget* parent, const QRect& rect) {
    auto* label = new QLabel(parent);
    const int size = iconSizeFor(rect);
    label->setPixmap(iconForResource(t.iconResource).pixmap(QSize(size, size), label->devicePixelRatioF()));
    return label;
}

QWidget* createFrame(QWidget* parent) {
    auto* frame = new QFrame(parent);
    frame->setFrameStyle(QFrame::Box | QFrame::Plain);
    frame->setLineWidth(1);
    return frame;
}

QWidget* createGroupBox(const ControlTemplate& t, QWidget* parent) {
    // The frame's top edge runs through the middle of the title, as the
    // templates expect; drawn below the title it would crowd the first row.
    auto* box = new FramedGroupBox(qtText(t.text), parent);
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

// Typing stops when the field is full: the edit field never scrolls sideways.
// A longer text put there by the program stays, and may be shortened.
class FitsFieldValidator : public QValidator {
public:
    explicit FitsFieldValidator(QLineEdit* edit) : QValidator(edit), edit_(edit) {}

    State validate(QString& input, int&) const override {
        return edit_->fontMetrics().horizontalAdvance(input) <= room() ? Acceptable : Invalid;
    }

private:
    // The width QLineEdit draws text into before it starts to scroll: its
    // contents less the text margins, 2 pixels each side, and the cursor.
    int room() const {
        QStyleOptionFrame option;
        option.initFrom(edit_);
        option.rect = edit_->rect();
        option.lineWidth =
            edit_->hasFrame() ? edit_->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit_) : 0;
        const QRect contents = edit_->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit_);
        const QMargins margins = edit_->textMargins();
        return contents.width() - margins.left() - margins.right() - 2 * 2 - 1;
    }

    QLineEdit* edit_;
};

// A plain list opens as a list, not as a menu: the style is asked through a
// proxy rather than told by a style sheet, which would bring Qt's whole style
// sheet machinery into memory for one answer. The proxy is the application's
// style, not each list's: a style set on one list sends it a style change,
// and a list answers that by building its popup (a list view with its
// scroll bars and delegates) long before anybody opens it.
class ListPopupStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returned) const override {
        if (hint == SH_ComboBox_Popup) return 0;
        return QProxyStyle::styleHint(hint, option, widget, returned);
    }
};

QWidget* createComboBox(const ControlTemplate& t, QWidget* parent) {
    auto* combo = new QComboBox(parent);
    if (t.sorted) markSorted(*combo);
    if (t.kind != ControlKind::DropDownCombo) {
        // A plain list opens as a list of the template's height, not as a
        // menu of every entry (which Qt's styles prefer for lists without an edit field).
        useListPopupStyle();
        return combo;
    }
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert); // Enter never adds an entry
    combo->setCompleter(nullptr);                // no text the user did not type
    clearSelectionOnTyping(*combo);
    if (t.textLimit > 0) combo->lineEdit()->setMaxLength(t.textLimit);
    combo->lineEdit()->setValidator(new FitsFieldValidator(combo->lineEdit()));
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
    case ControlKind::Icon: return createIcon(t, parent, rect);
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

// A combo box's template height is that of its opened list, less the closed
// box (as high as a button, 14 units), at a line (8 units) a row: 50 units
// open 4 rows. Closed it is as high as its font needs.
constexpr int ClosedComboUnits = 14;
constexpr int RowUnits = 8;

void placeComboBox(QComboBox& combo, const ControlTemplate& t, const QRect& rect) {
    combo.setGeometry(rect.x(), rect.y(), rect.width(), combo.sizeHint().height());
    combo.setMaxVisibleItems(std::max(1, (t.height - ClosedComboUnits) / RowUnits));
}

void place(QWidget& widget, const ControlTemplate& t, const QRect& rect) {
    if (t.kind == ControlKind::Icon) {
        widget.setGeometry(rect.x(), rect.y(), iconSizeFor(rect), iconSizeFor(rect));
    } else if (auto* combo = qobject_cast<QComboBox*>(&widget)) {
        placeComboBox(*combo, t, rect);
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
    if (!takesInput(tmpl.kind))
        widget->setFocusPolicy(Qt::NoFocus);
    else
        widget->setFocusPolicy(tmpl.tabStop ? Qt::StrongFocus : Qt::ClickFocus);
    if (tmpl.kind == ControlKind::GroupBox || tmpl.kind == ControlKind::BlackFrame) widget->lower();
    widget->setVisible(tmpl.visible);
    return widget;
}

void useListPopupStyle() {
    QStyle* style = QApplication::style();
    if (style == nullptr || dynamic_cast<ListPopupStyle*>(style) != nullptr) return;
    // Over a style of the application's own kind, whatever it was set to.
    QApplication::setStyle(new ListPopupStyle(style->name()));
}

} // namespace velmora
