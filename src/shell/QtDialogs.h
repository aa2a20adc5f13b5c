#pragma once
// The program's boxes and file dialogs as real Qt dialogs.
#include "Dialogs.h"

class QtDialogs final : public Dialogs {
public:
    Button messageBox(Icon icon, Buttons buttons, const QString &title, const QString &text) override;
    std::optional<QString> openFile(const FileRequest &req) override;
    std::optional<QString> saveFile(const FileRequest &req) override;
    std::optional<QString> inputBox(const QString &prompt, const QString &title, const QString &initial) override;
    // The printer dialog: printer or PDF file, paper and orientation.
    bool printSetup(void *printer) override;

private:
    static std::optional<QString> runFileDialog(const FileRequest &req, bool save);
};
