#pragma once

#include <QProxyStyle>

// Shows every character of a password box as "*", whatever the platform's
// own masking character is.
class AsteriskPasswordStyle : public QProxyStyle {
    Q_OBJECT
public:
    explicit AsteriskPasswordStyle(QObject* owner);
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override;
};
