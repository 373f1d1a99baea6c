#include "NumberEdit.h"

#include <QRegularExpression>

namespace zx {

MaskValidator::MaskValidator(const QString& mask, QObject* parent)
    : QValidator(parent), Mask_(mask) {
    QString pattern = mask;
    pattern.replace(QStringLiteral("+?"), QStringLiteral("*"));
    Pattern_.setPattern(QRegularExpression::anchoredPattern(pattern));
}

QValidator::State MaskValidator::validate(QString& input, int&) const {
    if (input.isEmpty()) {
        return Intermediate;
    }
    const auto match = Pattern_.match(input, 0, QRegularExpression::PartialPreferCompleteMatch);
    if (match.hasMatch()) {
        return Acceptable;
    }
    return match.hasPartialMatch() ? Intermediate : Invalid;
}

NumberEdit::NumberEdit(QWidget* parent) : QLineEdit(parent) {
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    SetEditMask(LayoutMask);
}

void NumberEdit::SetEditMask(const QString& mask) {
    setValidator(new MaskValidator(mask, this));
}

QString NumberEdit::EditMask() const {
    const auto* v = qobject_cast<const MaskValidator*>(validator());
    return v != nullptr ? v->Mask() : QString();
}

void NumberEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    emit Exit();
}

} // namespace zx
