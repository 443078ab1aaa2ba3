#pragma once

#include <QByteArray>
#include <QString>

// Windows-1250, the code page of every byte the program stores or prints.
// The mapping is one to one over all 256 byte values: the five bytes the code
// page leaves undefined (0x81, 0x83, 0x88, 0x90, 0x98) map to the C1 control
// characters of the same number, as Windows itself converts them, so any byte
// read from a file or the serial line comes back unchanged when written.
namespace cp1250 {

QString decode(const QByteArray& bytes);
QString decode(const char* bytes, qsizetype size);
// A character with no Windows-1250 byte is stored as "?".
QByteArray encode(const QString& text);
char16_t toUnicode(unsigned char byte);

} // namespace cp1250
