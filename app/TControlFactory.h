// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFontDatabase>
#include <QSize>
#include <QString>

class QAbstractItemView;
class QFont;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QWidget;
class TValueLabel;

// Makes the main window's controls: named, with the window's fonts, sizes
// and spinner behaviour.
class TControlFactory {
public:
    // The height of a caption, an edit and a spinner on the window's panels.
    static constexpr int RowHeight = 21;

    // The named font when it is installed, else the system's family of the
    // same kind, at 8 points.
    static QFont WindowFont(const QString& Family, QFontDatabase::SystemFont Fallback);

    static QLabel* Label(QWidget* Parent, const char* Name, const QString& Text);
    static TValueLabel* ValueLabel(QWidget* Parent, const char* Name, const QString& Caption);
    static QPushButton* Button(QWidget* Parent, const char* Name, const QString& Caption,
                               QSize Size);
    // An edit with its up-down spinner as one control: the position follows
    // valid text and keeps its last valid value, no wrapping, arrow keys,
    // thousands separator. Edit receives the spinner's own edit, named too.
    // Range, step and position are the page's to set.
    static QSpinBox* Spinner(QWidget* Parent, const char* EditName, const char* UpDownName,
                             const QString& Caption, QLineEdit*& Edit);
    // Every row of the list takes this height.
    static void SetItemHeight(QAbstractItemView* List, int Height);
};
