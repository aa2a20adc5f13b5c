#pragma once
// Dialogs for tests: every box is recorded, answered from a queue of
// expectations, and a box nobody expected fails the test.
#include "Dialogs.h"
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

class ScriptedDialogs : public Dialogs {
public:
    struct Box {
        Icon icon;
        Buttons buttons;
        QString title;
        QString text;
    };

    // The next box must have this title (and text, when given); it is answered with `answer`.
    ScriptedDialogs &expectBox(const QString &title, Button answer, std::optional<QString> text = std::nullopt);
    // The next open/save dialog returns `path` (nullopt: the user cancels).
    ScriptedDialogs &expectOpen(std::optional<QString> path);
    ScriptedDialogs &expectSave(std::optional<QString> path);
    ScriptedDialogs &expectInput(std::optional<QString> text);
    // The next print set-up dialog is answered by `answer`, which gets the
    // QPrinter and returns false for Cancel.
    ScriptedDialogs &expectPrintSetup(std::function<bool(void *printer)> answer);

    // Answer every box with the first button offered and never fail (for demos and soak runs).
    void setLenient(bool on) { lenient_ = on; }

    Button messageBox(Icon icon, Buttons buttons, const QString &title, const QString &text) override;
    std::optional<QString> openFile(const FileRequest &req) override;
    std::optional<QString> saveFile(const FileRequest &req) override;
    std::optional<QString> inputBox(const QString &prompt, const QString &title, const QString &initial) override;
    bool printSetup(void *printer) override;

    const std::vector<Box> &boxes() const { return boxes_; }
    // Called while a message box is up, before it is answered.
    std::function<void(const Box &)> onBox;
    std::vector<FileRequest> fileRequests;
    // Expectations not used yet (a test usually asserts this is 0 at its end).
    int pending() const { return int(queue_.size()); }
    void clear()
    {
        boxes_.clear();
        queue_.clear();
        fileRequests.clear();
    }

private:
    enum class Kind { Box, Open, Save, Input, PrintSetup };
    struct Expect {
        Kind kind;
        QString title;
        std::optional<QString> text;
        Button answer = Button::OK;
        std::optional<QString> value;
        std::function<bool(void *)> printAnswer = nullptr;
    };
    const Expect *take(Kind kind, const QString &what);
    Expect last_{};

    std::deque<Expect> queue_;
    std::vector<Box> boxes_;
    bool lenient_ = false;
};
