#pragma once

#include "tests/support/messages.h"
#include "tests/support/tempdir.h"

#include <QDir>
#include <QStringList>

// A scratch executable folder that is also the current folder, where the
// main window keeps its word list, and a record of every message the
// operator is shown. Both are put back when it ends, after a failed check too.
class ScratchStation {
public:
    ScratchStation() : m_previousDir(QDir::currentPath()) { QDir::setCurrent(dir.path()); }
    ~ScratchStation() { QDir::setCurrent(m_previousDir); }
    ScratchStation(const ScratchStation&) = delete;
    ScratchStation& operator=(const ScratchStation&) = delete;

    ScratchExecutableDir dir;
    RecordedMessages recorded;
    QStringList& messages = recorded.texts;

private:
    QString m_previousDir;
};
