#pragma once

#include <QString>
#include <optional>

// Card codes generated for the platform's card-storing page.

// More than this many in one go are refused.
inline constexpr int kMostCardCodes = 200;

// The count typed into the page, read as a 16-bit whole number (a fraction
// rounds half to even); nullopt for a text that is no number or does not fit.
std::optional<int> cardCodeCount(const QString &text);

// count fresh RandomLetterTokens, a carriage return alone before each but the
// first; empty for a count of 0 or less.
QString generateCardCodes(int count);
