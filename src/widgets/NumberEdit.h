#pragma once

#include <QLineEdit>
#include <QValidator>

namespace zx {

// Admits only texts that fit a regular-expression edit mask, or can still become one: a
// character that cannot continue a fitting text is refused. An empty text is allowed. In the
// mask dialect "X+?" means "optionally one or more X", so "\-?\d+\.?\d+?" admits 5, -5, 5.,
// 5.25 and -0.125. A ',' is taken as '.' wherever a '.' fits.
class MaskValidator : public QValidator {
    Q_OBJECT
public:
    explicit MaskValidator(const QString& mask, QObject* parent = nullptr);
    State validate(QString& input, int& pos) const override;
    const QString& Mask() const { return Mask_; }

private:
    State Check(const QString& text) const;
    QString Mask_;
    QRegularExpression Pattern_;
};

// One-line numeric edit with a mask, right-aligned.
class NumberEdit : public QLineEdit {
    Q_OBJECT
public:
    static inline const QString LayoutMask = QStringLiteral("\\-?\\d+\\.\\d+");

    explicit NumberEdit(QWidget* parent = nullptr);
    void SetEditMask(const QString& mask);
    QString EditMask() const;

signals:
    void Exit(); // the edit lost the focus

protected:
    void focusOutEvent(QFocusEvent* event) override;
};

} // namespace zx
