#pragma once
// The one way a user-facing message leaves the program. The player shows it in a modal box,
// command-line tools print it, tests record it.

#include <functional>
#include <string>

inline constexpr const char* kAppTitle = "Vantrail";

using MessageHandler = std::function<void(const std::string& text, const std::string& caption)>;

// Installs a handler and returns the previous one; an empty handler restores the default,
// which prints "caption: text" on standard error.
MessageHandler SetMessageHandler(MessageHandler handler);

void ShowMessage(const std::string& text, const std::string& caption = kAppTitle);
