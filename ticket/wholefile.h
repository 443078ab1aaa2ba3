#pragma once

#include <QByteArray>
#include <QString>

// Whole-file access for the program's small data files. Failures come back as
// the system's own reason text, so that callers can word the operator's
// message and still say what the system refused.
namespace wholefile {

// Reads the whole file. False, with the reason, when it cannot be opened or
// read (a folder in its place included).
bool read(const QString& path, QByteArray& bytes, QString& reason);

// Replaces the file's contents so that a crash, a kill or a full disk at any
// moment leaves either the old contents or the new ones, never a mixture: the
// bytes go to temporaryPath(path) in the same folder, are flushed to the
// disk, and the temporary file is then renamed over the file. On failure the
// temporary file is removed, the old file is untouched and false is returned
// with the reason.
bool replace(const QString& path, const QByteArray& bytes, QString& reason);

// A fixed name rather than a unique one: a temporary file orphaned by a kill
// is simply overwritten by the next save instead of piling up.
QString temporaryPath(const QString& path);

} // namespace wholefile
