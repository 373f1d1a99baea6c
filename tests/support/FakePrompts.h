#pragma once

#include "UserPrompts.h"

#include <QStringList>

namespace zx::test {

// Counts beeps and records every box instead of showing it; confirmations get a set answer.
class FakePrompts final : public UserPrompts {
public:
    void Beep() override {
        ++Beeps;
        Events << QStringLiteral("beep");
    }
    void Information(QWidget*, const QString& text) override {
        Infos << text;
        Events << QStringLiteral("info: ") + text;
    }
    bool Confirm(QWidget*, const QString& text) override {
        Confirms << text;
        Events << QStringLiteral("confirm: ") + text;
        return ConfirmAnswer;
    }
    void Error(QWidget*, const QString& text) override {
        Errors << text;
        Events << QStringLiteral("error: ") + text;
    }

    int Beeps = 0;
    bool ConfirmAnswer = true;
    QStringList Infos;
    QStringList Confirms;
    QStringList Errors;
    QStringList Events;
};

} // namespace zx::test
