#include "app/message.h"

#include <cstdio>
#include <utility>

namespace {
void PrintMessage(const std::string& text, const std::string& caption) {
    (void)std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());  // nowhere else to go
}

MessageHandler& Handler() {
    static MessageHandler handler = PrintMessage;
    return handler;
}
}  // namespace

MessageHandler SetMessageHandler(MessageHandler handler) {
    if (!handler)
        handler = PrintMessage;
    return std::exchange(Handler(), std::move(handler));
}

void ShowMessage(const std::string& text, const std::string& caption) {
    // Copy first: a handler may replace itself while it runs.
    const MessageHandler handler = Handler();
    handler(text, caption);
}
