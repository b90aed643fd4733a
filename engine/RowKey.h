#pragma once

#include <QByteArray>
#include <QVariant>

// Appends one column value to a row key. Every value carries its kind and, where
// it has one, its length, so no two different rows can give the same key:
// NULL and the empty text are the same value; texts compare character by
// character; numbers by value (an integer and a real of equal value are equal,
// a number never equals a text); dates and times to the millisecond; binary
// values byte by byte.
void AppendKeyValue(QByteArray& key, const QVariant& value);
