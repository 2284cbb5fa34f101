#pragma once

#include <QString>

// Pure text routines shared by the program.

// "hh:mm:ss" of a count of seconds, wrapping at a whole day; a negative count shows its magnitude.
QString FormatDuration(long long seconds);
// Cuts the title at its last blank, at least once and until it is at most 40 characters long.
// A title without any blank is kept whole.
QString ShortTitle(const QString& displayName);
// Drops the last word when it equals the word (case counts) or the word is empty.
QString DropLastWord(const QString& text, const QString& word);
// Removes the characters that cannot or should not stand in a file name.
QString StripFileNameChars(const QString& text);
// Converts stored text to a 16-bit whole number as the settings readers need it:
// raises "Type mismatch" for text that is not a number and "Overflow" outside -32768..32767.
int ToInteger16(const QString& text, const QString& source);
