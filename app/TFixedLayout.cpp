// SPDX-License-Identifier: GPL-3.0-or-later
#include "TFixedLayout.h"

#include "TValueLabel.h"

#include <QWidget>

TFixedLayout::TFixedLayout(QWidget* Owner) : QLayout(Owner) {
    setContentsMargins(0, 0, 0, 0);
    setSpacing(0);
}

TFixedLayout::~TFixedLayout() {
    while (QLayoutItem* item = takeAt(0)) {
        delete item;
    }
}

void TFixedLayout::AddWidget(QWidget* Widget, const QRect& Place) {
    addChildWidget(Widget);
    Items.append({new QWidgetItem(Widget), Place});
    QLayout::invalidate();
}

void TFixedLayout::addItem(QLayoutItem* Item) {
    Items.append({Item, Item->geometry()});
}

int TFixedLayout::count() const {
    return static_cast<int>(Items.size());
}

QLayoutItem* TFixedLayout::itemAt(int Index) const {
    return Index >= 0 && Index < Items.size() ? Items[Index].Item : nullptr;
}

QLayoutItem* TFixedLayout::takeAt(int Index) {
    if (Index < 0 || Index >= Items.size()) {
        return nullptr;
    }
    return Items.takeAt(Index).Item;
}

void TFixedLayout::setGeometry(const QRect& Area) {
    QLayout::setGeometry(Area);
    for (const TPlacedItem& placed : Items) {
        placed.Item->setGeometry(placed.Place.translated(Area.topLeft()));
    }
}

QSize TFixedLayout::sizeHint() const {
    QRect bounds;
    for (const TPlacedItem& placed : Items) {
        bounds |= placed.Place;
    }
    return {bounds.right() + 1, bounds.bottom() + 1};
}

QSize TFixedLayout::minimumSize() const {
    return sizeHint();
}

// QLabel::setText is neither virtual nor signalled; the one call it makes
// outward, every time and in every window state, is invalidating its parent's
// layout. Value labels use it to keep their accessible description current.
void TFixedLayout::invalidate() {
    QLayout::invalidate();
    for (const TPlacedItem& placed : Items) {
        if (auto* label = qobject_cast<TValueLabel*>(placed.Item->widget())) {
            label->SyncDescription();
        }
    }
}
