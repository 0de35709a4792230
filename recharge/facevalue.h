#pragma once

#include <QString>
#include <QStringView>

// A FaceValueList is the text of a product's value field: the unit, then
// "label=cost" entries, all separated by "|" (元|10=9.98|20=19.96).

// The unit whose labels are scaled by the product's multiplier.
inline const QString kYuanUnit = QStringLiteral("元");

// The label of an entry "label=cost": the text before the first "=", the whole
// entry when it has none.
QStringView faceValueLabel(QStringView entry);

// The amount an entry is shown and matched as. With the unit exactly "元" it is
// label × multiplier as decimal text; with any other unit the label as it stands.
// The catalogue matching, the title generator and the manual panel all take the
// amount from here, because orders compare it as text.
//
// The product is computed exactly in decimal (no binary rounding: 0.1 × 3 is
// 0.3), rounded half away from zero to 4 decimals, the platform's precision for
// money, and written without trailing zeros or a trailing point: 10 × 0.98 is
// "9.8", 10 × 0.333333 is "3.3333", 3 × 0.333333 is "1", 50 × 1 is "50".
// Numbers are plain decimals with an optional sign and point and blanks around
// them; a label or a multiplier that is no such number (empty, "月卡", "1e3", or
// more than 18 significant digits) leaves the label as it stands, as if the
// multiplier were 1, so that a product with a broken multiplier still shows
// its face values.
QString faceValueDisplayAmount(QStringView label, QStringView unit, QStringView multiplier);

// label × multiplier by the rule above; nothing when either is not a number.
QString scaledAmountText(QStringView label, QStringView multiplier);
