#pragma once
#include "Dialogs.h"
#include <cstdio>

// Boxes of a command-line run: printed to stderr as one line ("title: text",
// line breaks shown as " / ") and answered without asking anybody: Cancel
// where there is one, No for a question without Cancel, otherwise OK. With
// answerYes (orvelctl --yes) a question with Yes is answered Yes.
class ConsoleDialogs final : public Dialogs {
public:
    explicit ConsoleDialogs(std::FILE *out = stderr) : out_(out) {}
    Button messageBox(Icon icon, Buttons buttons, const QString &title, const QString &text) override;
    std::optional<QString> openFile(const FileRequest &) override { return std::nullopt; }
    std::optional<QString> saveFile(const FileRequest &) override { return std::nullopt; }
    std::optional<QString> inputBox(const QString &prompt, const QString &title, const QString &) override;
    int boxesShown() const { return shown_; }
    void setAnswerYes(bool yes) { answerYes_ = yes; }
    static QString oneLine(const QString &title, const QString &text);

private:
    std::FILE *out_;
    int shown_ = 0;
    bool answerYes_ = false;
};
