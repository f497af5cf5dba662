// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "QStringPrinter.h"
#include "TF_Main.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

// A fresh main window per test, its log agent writing into a folder of its own.
class TWindowFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Folder.isValid());
        CreateWindow();
    }

    void TearDown() override { Window.reset(); }

    void CreateWindow() {
        Window.reset();
        Window = std::make_unique<TF_Main>(Folder.path().toStdString() + "/");
    }

    QString LogText() const {
        QFile file(Folder.filePath(QStringLiteral("ZIRKO.LOG")));
        if (!file.open(QIODevice::ReadOnly)) {
            return {};
        }
        return QString::fromUtf8(file.readAll());
    }

    template <typename T> T* Find(const char* Name) const {
        return Window->findChild<T*>(QLatin1String(Name));
    }

    QTemporaryDir Folder;
    std::unique_ptr<TF_Main> Window;
};
