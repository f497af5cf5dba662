// SPDX-License-Identifier: GPL-3.0-or-later
#include "TControlFactory.h"

#include "TValueLabel.h"

#include <QAbstractItemView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyledItemDelegate>

namespace {

class TItemHeightDelegate : public QStyledItemDelegate {
public:
    TItemHeightDelegate(int Height, QObject* Parent)
        : QStyledItemDelegate(Parent), FHeight(Height) {}
    QSize sizeHint(const QStyleOptionViewItem& Option, const QModelIndex& Index) const override {
        return {QStyledItemDelegate::sizeHint(Option, Index).width(), FHeight};
    }

private:
    int FHeight;
};

} // namespace

QFont TControlFactory::WindowFont(const QString& Family, QFontDatabase::SystemFont Fallback) {
    QFont font =
        QFontDatabase::hasFamily(Family) ? QFont(Family) : QFontDatabase::systemFont(Fallback);
    font.setPointSize(8);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    return font;
}

QLabel* TControlFactory::Label(QWidget* Parent, const char* Name, const QString& Text) {
    auto* label = new QLabel(Text, Parent);
    label->setObjectName(QLatin1String(Name));
    return label;
}

TValueLabel* TControlFactory::ValueLabel(QWidget* Parent, const char* Name,
                                         const QString& Caption) {
    auto* label = new TValueLabel(Caption, Parent);
    label->setObjectName(QLatin1String(Name));
    return label;
}

QPushButton* TControlFactory::Button(QWidget* Parent, const char* Name, const QString& Caption,
                                     QSize Size) {
    auto* button = new QPushButton(Caption, Parent);
    button->setObjectName(QLatin1String(Name));
    // A push button will not go below its style's height unless told to.
    button->setFixedSize(Size);
    button->setAutoDefault(false);
    return button;
}

QSpinBox* TControlFactory::Spinner(QWidget* Parent, const char* EditName, const char* UpDownName,
                                   const QString& Caption, QLineEdit*& Edit) {
    auto* spinner = new QSpinBox(Parent);
    spinner->setObjectName(QLatin1String(UpDownName));
    spinner->setWrapping(false);
    spinner->setGroupSeparatorShown(true);
    spinner->setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    spinner->setAccessibleName(Caption);
    Edit = spinner->findChild<QLineEdit*>();
    Edit->setObjectName(QLatin1String(EditName));
    Edit->setAccessibleName(Caption);
    return spinner;
}

void TControlFactory::SetItemHeight(QAbstractItemView* List, int Height) {
    List->setItemDelegate(new TItemHeightDelegate(Height, List));
}
