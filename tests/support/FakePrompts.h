#pragma once

#include "UserPrompts.h"

#include <QStringList>

#include <stdexcept>

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
        if (ThrowOnError) {
            throw std::runtime_error("the box could not be shown");
        }
        Errors << text;
        Events << QStringLiteral("error: ") + text;
    }

    int Beeps = 0;
    bool ConfirmAnswer = true;
    bool ThrowOnError = false;
    QStringList Infos;
    QStringList Confirms;
    QStringList Errors;
    QStringList Events;
};

} // namespace zx::test
