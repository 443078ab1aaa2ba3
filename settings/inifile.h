#pragma once

#include "platform/apperror.h"

#include <QByteArray>
#include <QString>
#include <memory>

// A Windows INI settings file, read and written one key at a time with the
// same rules as Windows' private-profile functions, so that the file moves
// between this program and Windows tools unchanged:
// - section and key names match regardless of capitalisation; the first of
//   duplicate keys wins;
// - text values come back cut at 2047 characters;
// - integers are decimal, or hexadecimal after "0x"/"0X"; anything else, and
//   a missing key, gives the caller's default;
// - booleans are written "1"/"0" and read as integers (non-zero is true);
// - the file is Windows-1250 with CR LF lines; comments, unknown keys and
//   sections, their order and blank lines survive a rewrite; a new key goes
//   at the end of its section, a new section at the end of the file.
// Every write replaces the file atomically: a kill or a full disk in the
// middle leaves the previous file intact. A write that cannot be done throws
// SettingsWriteError "Unable to write to <path>".
class SettingsWriteError : public AppError {
public:
    using AppError::AppError;
};

class IniFile {
public:
    explicit IniFile(QString path);
    ~IniFile();
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;

    const QString& path() const { return m_path; }

    // Whether the section holds the key, an empty value included.
    bool hasKey(const QString& section, const QString& key) const;
    QString readString(const QString& section, const QString& key, const QString& def) const;
    int readInteger(const QString& section, const QString& key, int def) const;
    bool readBool(const QString& section, const QString& key, bool def) const;

    void writeString(const QString& section, const QString& key, const QString& value);
    void writeInteger(const QString& section, const QString& key, int value);
    void writeBool(const QString& section, const QString& key, bool value);

private:
    QString m_path;
    // Implementation state (the file's lines as read) lives here.
    struct Data;
    std::unique_ptr<Data> m_data;
};
