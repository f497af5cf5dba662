// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "QStringPrinter.h"
#include "TAgente.h"
#include "TF_Main.h"
#include "TFakeStack.h"
#include "THistoryKeeper.h"
#include "THistoryStore.h"
#include "TNetContext.h"
#include "TTrayIconHandler.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTabWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

// A fresh main window per test, with services of its own, its log agent writing into
// a folder of its own.
class TWindowFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Folder.isValid());
        CreateWindow();
    }

    void TearDown() override { Window.reset(); }

    void CreateWindow() {
        Window.reset();
        // A new window stands for a new run of the program, with a fresh agent.
        Agente = std::make_unique<TAgente>();
        Window = std::make_unique<TF_Main>(
            Folder.path().toStdString() + "/",
            TZirkoServices{*Net, *Agente, Tray, History, nullptr, nullptr, TargetsFile()});
    }

    // The next window sends over the scripted stack, on the script's clock.
    void CreateWindowOverFakeStack() {
        Window.reset();
        Net = &Fake.Net;
        CreateWindow();
    }

    // The window opens its history on a thread of its own once it is needed (here, as
    // "Grafico" or a ping would need it) and drawn, or soon after it starts hidden.
    void WaitForHistory() {
        auto* Keeper = Window->findChild<THistoryKeeper*>();
        ASSERT_NE(Keeper, nullptr);
        Keeper->Need();
        QDeadlineTimer Deadline(10'000);
        while (!Keeper->Ready() && !Deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        ASSERT_TRUE(Keeper->Ready()) << "the history did not open within 10 s";
    }

    // The Traceroute page is made when its tab is first shown: shown once, as a user
    // would, and back to "Ping".
    void MakeTracePage() {
        Window->PageControl1->setCurrentWidget(Window->TabSheet2);
        Window->PageControl1->setCurrentWidget(Window->TabSheet1);
    }

    // The targets' file beside the log, never the user's own.
    std::string TargetsFile() const { return Folder.path().toStdString() + "/targets.yml"; }

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
    TFakeNet Fake;
    TNetContext SystemNet;
    TNetContext* Net = &SystemNet;
    std::unique_ptr<TAgente> Agente;
    TTrayIconHandler Tray;
    THistoryStore History;
    std::unique_ptr<TF_Main> Window;
};
