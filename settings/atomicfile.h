#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <sys/types.h>

// Replacing a file so that a reader, a kill or a full disk never sees half of
// it: the bytes go to a temporary file in the same folder, are flushed to the
// disk and then renamed over the old file in one step.
namespace atomicfile {

// Returns false when the file could not be replaced; the old file is then
// untouched and no temporary file is left behind. A missing file is created.
bool replace(const QString& path, const QByteArray& bytes);

// The write(2) call that replace() uses, so that tests can make the disk run
// full half-way. An empty function returns to the real call. Returns the
// function that was installed before.
using WriteFunction = std::function<ssize_t(int fd, const void* data, size_t size)>;
WriteFunction setWriteFunction(WriteFunction write);

} // namespace atomicfile
