#include "qthost/ListControls.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>

#include "qthost/QtText.h"

namespace velmora {
namespace {

const char* const SortedProperty = "velmoraSorted";

bool inRange(const QWidget& control, int index) { return index >= 0 && index < entryCount(control); }

// The position that keeps a sorted control in ascending order (after equal
// texts), compared byte by byte as UTF-8.
int sortedPosition(const QWidget& control, const std::string& text) {
    int low = 0;
    int high = entryCount(control);
    while (low < high) {
        const int middle = (low + high) / 2;
        if (text < entryText(control, middle))
            high = middle;
        else
            low = middle + 1;
    }
    return low;
}

// QComboBox selects an entry on its own (the first one added, a neighbour of a
// deleted one) and clears its edit field with the selection; both are undone.
void setComboIndex(QComboBox& combo, int index, const QString& editText) {
    const QSignalBlocker blocker(combo);
    QLineEdit* edit = combo.lineEdit();
    const int cursor = edit ? edit->cursorPosition() : 0;
    combo.setCurrentIndex(index);
    if (!edit) return;
    edit->setText(editText);
    edit->setCursorPosition(cursor);
}

void setComboIndexKeepingText(QComboBox& combo, int index) {
    setComboIndex(combo, index, combo.lineEdit() ? combo.lineEdit()->text() : QString());
}

void clearListSelection(QListWidget& list) {
    list.clearSelection();
    list.setCurrentItem(nullptr, QItemSelectionModel::NoUpdate);
}

} // namespace

std::string utf8Prefix(const QString& text, std::size_t maxChars) {
    const QList<uint> codePoints = text.toUcs4();
    if (codePoints.size() <= static_cast<qsizetype>(maxChars)) return text.toStdString();
    const QList<uint> prefix = codePoints.first(static_cast<qsizetype>(maxChars));
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(prefix.constData()), prefix.size()).toStdString();
}

void clearSelectionOnTyping(QComboBox& combo) {
    QObject::connect(combo.lineEdit(), &QLineEdit::textEdited, &combo, [&combo] {
        if (combo.currentIndex() != -1) setComboIndexKeepingText(combo, -1);
    });
}

void markSorted(QWidget& control) { control.setProperty(SortedProperty, true); }

int addEntry(QWidget& control, const std::string& text) {
    const int position =
        control.property(SortedProperty).toBool() ? sortedPosition(control, text) : entryCount(control);
    if (auto* combo = qobject_cast<QComboBox*>(&control)) {
        const int selected = combo->currentIndex();
        const QString edited = combo->lineEdit() ? combo->lineEdit()->text() : QString();
        combo->insertItem(position, qtText(text));
        if (selected == -1) setComboIndex(*combo, -1, edited);
    } else if (auto* list = qobject_cast<QListWidget*>(&control)) {
        list->insertItem(position, qtText(text));
    } else {
        return -1;
    }
    return position;
}

void selectEntry(QWidget& control, int index) {
    if (index != -1 && !inRange(control, index)) return;
    if (auto* combo = qobject_cast<QComboBox*>(&control)) {
        combo->setCurrentIndex(index);
    } else if (auto* list = qobject_cast<QListWidget*>(&control)) {
        if (index == -1)
            clearListSelection(*list);
        else
            list->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
    }
}

int selectedEntry(const QWidget& control) {
    if (auto* combo = qobject_cast<const QComboBox*>(&control)) return combo->currentIndex();
    if (auto* list = qobject_cast<const QListWidget*>(&control)) {
        const QList<QListWidgetItem*> selected = list->selectedItems();
        return selected.isEmpty() ? -1 : list->row(selected.first());
    }
    return -1;
}

std::string entryText(const QWidget& control, int index) {
    if (!inRange(control, index)) return {};
    if (auto* combo = qobject_cast<const QComboBox*>(&control)) return combo->itemText(index).toStdString();
    if (auto* list = qobject_cast<const QListWidget*>(&control)) return list->item(index)->text().toStdString();
    return {};
}

int entryCount(const QWidget& control) {
    if (auto* combo = qobject_cast<const QComboBox*>(&control)) return combo->count();
    if (auto* list = qobject_cast<const QListWidget*>(&control)) return list->count();
    return 0;
}

void deleteEntry(QWidget& control, int index) {
    if (!inRange(control, index)) return;
    const bool wasSelected = selectedEntry(control) == index;
    if (auto* combo = qobject_cast<QComboBox*>(&control)) {
        combo->removeItem(index);
        if (wasSelected) setComboIndexKeepingText(*combo, -1);
    } else if (auto* list = qobject_cast<QListWidget*>(&control)) {
        delete list->takeItem(index);
        if (wasSelected) clearListSelection(*list);
    }
}

QString shownText(const QWidget& control) {
    if (auto* combo = qobject_cast<const QComboBox*>(&control); combo && combo->lineEdit())
        return combo->lineEdit()->text();
    const int selected = selectedEntry(control);
    return selected == -1 ? QString() : QString::fromStdString(entryText(control, selected));
}

} // namespace velmora
