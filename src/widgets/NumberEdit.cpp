#include "NumberEdit.h"

#include <QRegularExpression>

namespace zx {

MaskValidator::MaskValidator(const QString& mask, QObject* parent)
    : QValidator(parent), Mask_(mask) {
    QString pattern = mask;
    pattern.replace(QStringLiteral("+?"), QStringLiteral("*"));
    Pattern_.setPattern(QRegularExpression::anchoredPattern(pattern));
}

QValidator::State MaskValidator::Check(const QString& text) const {
    if (text.isEmpty()) {
        return Intermediate;
    }
    const auto match = Pattern_.match(text, 0, QRegularExpression::PartialPreferCompleteMatch);
    if (match.hasMatch()) {
        return Acceptable;
    }
    return match.hasPartialMatch() ? Intermediate : Invalid;
}

QValidator::State MaskValidator::validate(QString& input, int&) const {
    // Under a comma locale the keypad's decimal key types ','. Dropping it would turn "0,5"
    // into "05", ten times the limit the technician meant; it is the point wherever a point
    // fits, in every locale.
    if (input.contains(QLatin1Char(','))) {
        QString withPoint = input;
        withPoint.replace(QLatin1Char(','), QLatin1Char('.'));
        const State state = Check(withPoint);
        if (state != Invalid) {
            input = withPoint;
        }
        return state;
    }
    return Check(input);
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
