// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QObject>
#include <QVector>

// An ordered list of the small images a tray icon shows. A TTrayIcon that uses
// the list notices its destruction through QObject::destroyed.
class TImageList : public QObject {
public:
    static constexpr int Width = 16;
    static constexpr int Height = 16;

    explicit TImageList(QObject* Parent = nullptr) : QObject(Parent) {}

    int Count() const { return static_cast<int>(FImages.size()); }
    // An index that names no image gives an empty icon.
    QIcon Image(int Index) const;
    void Add(const QIcon& Image) { FImages.append(Image); }
    void Clear() { FImages.clear(); }

private:
    QVector<QIcon> FImages;
};
