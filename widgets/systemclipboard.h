#pragma once

#include "app/core/clipboard.h"

// The clipboard of the desktop (QClipboard).
class SystemClipboard final : public Clipboard
{
public:
    void setText(const QString &text) override;
};
