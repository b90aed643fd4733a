#pragma once

#include "db/RawValue.h"

#include <QVariant>
#include <string>

// Appends one column value to a row key. Every value carries its kind and, where
// it has one, its length, so no two different rows can give the same key:
// NULL and the empty text are the same value; texts compare byte by byte;
// numbers by value (an integer and a real of equal value are equal, a number
// never equals a text); binary values byte by byte.
void AppendKeyValue(std::string& key, const Db::RawValue& value);

// How texts are made alike before they are compared: with `ignoreCase`, by
// Unicode case folding; with `trim`, without white space at either end, so a
// text of blanks equals the empty text and NULL.
struct KeyFolding {
    bool ignoreCase = false;
    bool trim = false;
};
void AppendKeyValue(std::string& key, const Db::RawValue& value, const KeyFolding& folding);
void AppendKeyValue(std::string& key, const QVariant& value, const KeyFolding& folding);
// The same for a value read through Qt's driver; texts count by their UTF-8
// bytes.
void AppendKeyValue(std::string& key, const QVariant& value);
