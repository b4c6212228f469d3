#pragma once

#include <string_view>

namespace kelm::platform {

// A modal message with a caption and an OK button. tallyconf shows a real box; the service has no
// desktop and writes the message to standard error (the journal under systemd).
class MessageBox {
public:
    virtual ~MessageBox() = default;
    virtual void showError(std::string_view caption, std::string_view text) = 0;
};

// One line "<caption>: <text>" on standard error; returns at once.
class ConsoleMessageBox final : public MessageBox {
public:
    void showError(std::string_view caption, std::string_view text) override;
};

} // namespace kelm::platform
