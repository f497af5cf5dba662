// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLayout>
#include <QList>
#include <QRect>

// Places each widget at the rectangle the window gives it (offsets
// inside the owner). The window has a fixed size, so nothing ever flows.
class TFixedLayout : public QLayout {
    Q_OBJECT

public:
    explicit TFixedLayout(QWidget* Owner);
    ~TFixedLayout() override;

    void AddWidget(QWidget* Widget, const QRect& Place);

    void addItem(QLayoutItem* Item) override;
    int count() const override;
    QLayoutItem* itemAt(int Index) const override;
    QLayoutItem* takeAt(int Index) override;
    void setGeometry(const QRect& Area) override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void invalidate() override;

private:
    struct TPlacedItem {
        QLayoutItem* Item;
        QRect Place;
    };
    QList<TPlacedItem> Items;
};
