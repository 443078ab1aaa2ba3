#pragma once

#include "platform/messages.h"

#include <QList>
#include <QStringList>
#include <utility>

// What the program would show the operator, recorded instead of a modal box
// while this object lives. The sink it replaced comes back when it goes, even
// when an assertion ends the test half-way.
class RecordedMessages {
public:
    RecordedMessages()
        : m_previous(setMessageSink([this](MessageKind kind, const QString& text) {
              kinds.append(kind);
              texts.append(text);
          })) {}
    ~RecordedMessages() { setMessageSink(std::move(m_previous)); }
    RecordedMessages(const RecordedMessages&) = delete;
    RecordedMessages& operator=(const RecordedMessages&) = delete;

    QStringList texts;
    QList<MessageKind> kinds; // of each text

private:
    MessageSink m_previous;
};
