#pragma once

#include <QString>

inline const QString kSkinFileName = QStringLiteral("皮肤");

// Writes the skin file into dir when it is missing (an edited one is kept)
// and applies it to the whole application. Returns false when the skin could
// not be written or read; the client carries on unskinned then.
bool attachSkin(const QString &dir);
