#pragma once

#include "NumberFormat.h"

#include <QColor>
#include <QLabel>
#include <QString>

#include <string_view>

// Small text and colour helpers the three sections share.
namespace zx::section {

inline QString Text(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

inline QString Number(float value, std::string_view pattern) {
    return QString::fromStdString(FormatNumber(value, pattern));
}

inline QString WithUnit(float value, std::string_view pattern, std::string_view unit) {
    return QString::fromStdString(FormatWithUnit(value, pattern, unit));
}

inline QString Temperature(float value) {
    return QString::fromStdString(FormatNumber(value, TemperatureFormat));
}

inline QColor OkColor(bool rangeOk) {
    return rangeOk ? QColor(0, 0, 0) : QColor(255, 0, 0);
}

inline void SetLabelColor(QLabel* label, const QColor& color) {
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, color);
    p.setColor(QPalette::Disabled, QPalette::WindowText, color);
    label->setPalette(p);
}

} // namespace zx::section
