#include "platform/messages.h"

#include <cstdio>

namespace {
MessageSink& sink() {
    static MessageSink s;
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
