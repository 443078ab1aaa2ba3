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

// A choice only the operator can make, offered with two buttons. The first
// answer is the one that loses nothing: it is also what closing the box
// without a button, or a program with no one to ask, chooses.
struct Question {
    QString text;
    QString first;
    QString second;
};
// True for the first answer.
bool askQuestion(const Question& question);

// The program installs a modal box; tests answer. Returns the sink installed
// before.
using QuestionSink = std::function<bool(const Question&)>;
QuestionSink setQuestionSink(QuestionSink sink);
