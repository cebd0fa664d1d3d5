#ifndef FORMATTING_H
#define FORMATTING_H

#include <QString>

#include <cstdint>
#include <vector>

// Decimal text of value, blanks in front up to width characters; a longer text stays whole.
QString toPaddedString(int value, int width);
QString toPaddedString(unsigned int value, int width);
QString toPaddedString(long value, int width);
QString toPaddedString(unsigned long value, int width);
QString toPaddedString(long long value, int width);
QString toPaddedString(unsigned long long value, int width);

// Up to six significant digits; with pointZero a whole number gets ".0" ("0.0", "5.0").
QString doubleToString(bool pointZero, double value);
// Catches swapped arguments, which would otherwise convert silently.
QString doubleToString(double value, bool pointZero) = delete;

// Sets (on) or clears the mask bits of *flags; other bits unchanged.
void setFlagBits(bool on, unsigned int* flags, unsigned int mask);

// Fills the bytes the vector already has from pairs of hex digits; a missing or non-hex digit
// counts as 0.
void hexToBytes(const QString& hex, std::vector<uint8_t>& bytes);
// Two upper-case hex digits per byte, high nibble first.
void bytesToHex(const std::vector<uint8_t>& bytes, QString& hex);

// Appends field in double quotes, a double quote inside it doubled (the log files' CSV rule).
void appendCsvField(QString& line, const QString& field);

// The build date as "yyyy-MM-dd".
QString buildDateString();
// The same from a compiler date text such as "Feb  8 2012".
QString buildDateString(const char* compilerDate);

#endif
