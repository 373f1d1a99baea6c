#pragma once

#include "NumberFormat.h"
#include "StatusList.h"
#include "TfrmMain.h"

#include <QColor>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
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
    return rangeOk ? clBlack : clRed;
}

inline void SetLabelColor(QLabel* label, const QColor& color) {
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, color);
    p.setColor(QPalette::Disabled, QPalette::WindowText, color);
    label->setPalette(p);
}

// A limit edit left empty takes the range's limit; a text of the technician's stays as it is.
inline void FillEmptyLimit(QLineEdit* edit, float limit, std::string_view pattern) {
    if (edit->text().isEmpty()) {
        edit->setText(Number(limit, pattern));
    }
}

// The range code of a request: the list's item index at the moment of sending.
inline quint8 RangeCodeOf(const QComboBox* combo) {
    return static_cast<quint8>(combo->currentIndex());
}

// One row per range, "N/A" until the module has said.
template <typename Ranges> void FillCalList(StatusList* list, const Ranges& ranges) {
    list->ClearRows();
    for (const auto& range : ranges) {
        list->AddRow(Text(range.Caption), QStringLiteral("N/A"), QStringLiteral("N/A"));
    }
}

// Row i shows bit i of each flag word; bits without a row are ignored.
inline void ShowCalFlags(StatusList* list, unsigned zero, unsigned full) {
    for (int i = 0; i < list->RowCount() && i < 16; ++i) {
        const unsigned bit = 1u << i;
        list->SetSubItem(i, 0, (zero & bit) != 0 ? QStringLiteral("OK") : QStringLiteral("UNCAL"));
        list->SetSubItem(i, 1, (full & bit) != 0 ? QStringLiteral("OK") : QStringLiteral("UNCAL"));
    }
    list->viewport()->update();
}

} // namespace zx::section
