#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <cstddef>
#include <functional>

// Whole-file access for the program's small data files (settings, word lists,
// the unprinted ticket). Failures come back as a reason text, so that each
// caller words the operator's message in its own language and still says what
// the system refused.
namespace wholefile {

// Reads the whole file. False, with the reason, when it cannot be opened or
// read, or when something other than a regular file is in its place: a pipe
// or a device would block or never end.
bool read(const QString& path, QByteArray& bytes, QString& reason);

// Replaces the file's contents so that a crash, a kill or a full disk at any
// moment leaves either the old contents or the new ones, never a mixture: the
// bytes go to temporaryPath(path), are flushed to the disk and renamed over
// the file, and the folder is flushed too. A missing file is created; an
// existing one keeps its permissions; a symbolic link stays and its target is
// replaced; a folder, pipe or device in the file's place is refused untouched.
// On failure the old file is untouched, the temporary file is removed and
// false is returned with the reason.
// One writer per file at a time is assumed, as the program has.
bool replace(const QString& path, const QByteArray& bytes, QString& reason);

// Removes the file; a file that is not there counts as removed. Needs no free
// space, so it works where a write does not. False, with the reason, when the
// system refuses.
bool remove(const QString& path, QString& reason);

// The temporary file replace() writes first, beside the file a symbolic link
// finally names. A fixed name rather than a unique one, so that a file
// orphaned by a kill is overwritten by the next save instead of piling up;
// hidden and distinct for every file name, so that no two files share one and
// no visible file is ever taken for another's temporary file.
QString temporaryPath(const QString& path);

// Writes all of the bytes to an open descriptor through the write call below,
// going on after interruptions. False, with the reason, on failure; a write
// that makes no progress counts as a full disk.
bool writeAll(int fd, const QByteArray& bytes, QString& reason);

// The system's text for an errno value, as the reasons above carry it.
QString systemReason(int error);

// The write call that replace() uses, so that tests can make the disk run
// full half-way. Returns the bytes written, or -1 with errno set. An empty
// function returns to the real call. Returns the function installed before.
using WriteFunction = std::function<qint64(int fd, const void* data, std::size_t size)>;
WriteFunction setWriteFunction(WriteFunction write);

// Seam for a folder that has turned read-only, which root cannot meet
// through permissions: returns an errno value to refuse replace() and
// remove() of the path with, or 0 to let them run. An empty function refuses
// nothing. Returns the function installed before.
using ChangeRefusal = std::function<int(const QString& path)>;
ChangeRefusal setChangeRefusal(ChangeRefusal refusal);

} // namespace wholefile
