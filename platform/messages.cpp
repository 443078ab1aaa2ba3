#include "platform/messages.h"

#include <cstdio>

namespace {
MessageSink& sink() {
    static MessageSink s;
    return s;
}
QuestionSink& questionSink() {
    static QuestionSink s;
    return s;
}
} // namespace

void showMessage(MessageKind kind, const QString& text) {
    if (sink()) {
        sink()(kind, text);
        return;
    }
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

MessageSink setMessageSink(MessageSink s) {
    MessageSink previous = std::move(sink());
    sink() = std::move(s);
    return previous;
}

bool askQuestion(const Question& question) {
    if (questionSink())
        return questionSink()(question);
    std::fprintf(stderr, "%s\n-> %s\n", question.text.toLocal8Bit().constData(),
                 question.first.toLocal8Bit().constData());
    return true;
}

QuestionSink setQuestionSink(QuestionSink s) {
    QuestionSink previous = std::move(questionSink());
    questionSink() = std::move(s);
    return previous;
}
