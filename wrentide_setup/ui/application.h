// The application object: the program's title, its termination request, and
// the one failure message that every part of the installer shows.
#pragma once

#include <exception>
#include <functional>
#include <string>

namespace wt {

class Application {
public:
    // Answers IDOK or IDCANCEL, as the dialog would. Tests install one to
    // record the texts and choose the answer.
    using MessageHandler = std::function<int(const std::string& text)>;

    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& title) { title_ = title; }

    // Ends the message loop the next time it runs; the running handler finishes first.
    void Terminate();
    bool Terminated() const { return terminated_; }

    // The "Information" message with one OK button. OK, Enter and Escape answer
    // IDOK and request termination; the title-bar close answers IDCANCEL and
    // does not. Once termination is requested it answers IDCANCEL at once.
    int FailureMessage(const std::string& text);

    // Shows an exception that escaped a handler: error icon, the title, the
    // text ending in a full stop; its text goes to the log. With a message
    // handler set, the handler takes the text instead.
    void ShowException(const std::exception& error);

    void SetMessageHandler(MessageHandler handler) { messageHandler_ = std::move(handler); }

    // Forgets a termination request, for tests that play several runs in one process.
    void ResetTermination() { terminated_ = false; }

private:
    std::string title_;
    bool terminated_ = false;
    MessageHandler messageHandler_;
};

// The one application object of the process.
Application& App();

}  // namespace wt
