#pragma once

#include <QString>
#include <functional>

// Where the program's message boxes go. The program installs modal message
// boxes; tests install a recorder so that nothing blocks.
enum class MessageKind { Error, Information };

using MessageSink = std::function<void(MessageKind, const QString&)>;

void showMessage(MessageKind kind, const QString& text);
inline void showError(const QString& text) {
    showMessage(MessageKind::Error, text);
}
inline void showInformation(const QString& text) {
    showMessage(MessageKind::Information, text);
}

// Returns the sink that was installed before.
MessageSink setMessageSink(MessageSink sink);
