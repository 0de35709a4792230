#pragma once

#include "app/core/clipboard.h"

#include <QStringList>

// A clipboard that keeps what was put on it.
class RecordingClipboard final : public Clipboard
{
public:
    void setText(const QString &text) override { texts.append(text); }
    QString text() const { return texts.isEmpty() ? QString() : texts.last(); }

    QStringList texts;
};
