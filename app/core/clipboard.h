#pragma once

#include <QString>

// Where card codes and copied orders go. The client puts them on the system
// clipboard; tests record them.
class Clipboard
{
public:
    virtual ~Clipboard() = default;
    // Clears the clipboard and puts the text on it.
    virtual void setText(const QString &text) = 0;
};
