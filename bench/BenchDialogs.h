#pragma once
// Dialogs for the benchmarks: every box is answered with one button and
// counted, file dialogs and input boxes are cancelled.
#include "Dialogs.h"

class BenchDialogs final : public Dialogs {
public:
    explicit BenchDialogs(Button answer = Button::Cancel) : answer_(answer) {}
    int boxes = 0;
    Button messageBox(Icon, Buttons, const QString &, const QString &) override
    {
        ++boxes;
        return answer_;
    }
    std::optional<QString> openFile(const FileRequest &) override { return std::nullopt; }
    std::optional<QString> saveFile(const FileRequest &) override { return std::nullopt; }
    std::optional<QString> inputBox(const QString &, const QString &, const QString &) override { return std::nullopt; }

private:
    Button answer_;
};
