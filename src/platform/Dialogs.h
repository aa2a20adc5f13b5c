#pragma once
// Every box and file dialog the program raises goes through this interface.
// The desktop program answers with real Qt dialogs, orvelctl answers on its
// own and prints the box, tests answer from a script.
#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

class Dialogs {
public:
    enum class Icon { None, Critical, Question, Exclamation, Information };
    enum class Buttons { OK, OKCancel, AbortRetryIgnore, YesNoCancel, YesNo, RetryCancel };
    enum class Button { OK, Cancel, Abort, Retry, Ignore, Yes, No };

    struct FileRequest {
        QString title;
        QString filter;              // "Set-up Files (*.sdt)"
        QString initialPath;         // folder or full name proposed
        QString defaultSuffix;       // "sdt"
        bool mustExist = false;      // open dialogs
        bool askOverwrite = false;   // save dialogs
    };

    virtual ~Dialogs() = default;
    virtual Button messageBox(Icon icon, Buttons buttons, const QString &title, const QString &text) = 0;
    // nullopt when the user cancels.
    virtual std::optional<QString> openFile(const FileRequest &req) = 0;
    virtual std::optional<QString> saveFile(const FileRequest &req) = 0;
    virtual std::optional<QString> inputBox(const QString &prompt, const QString &title, const QString &initial) = 0;
    // Printer set-up; true to go on printing.
    virtual bool printSetup(void *printer)
    {
        (void)printer;
        return true;
    }

    // Convenience for the common OK box.
    void message(Icon icon, const QString &title, const QString &text) { messageBox(icon, Buttons::OK, title, text); }

    // The text of a trapped error box: "Error Number = " n, two line breaks
    // and the description.
    static QString trappedErrorText(int number, const QString &description);
    // The trapped error text of a file that cannot be read or written (error 75).
    static QString fileAccessErrorText(const QString &why)
    {
        return trappedErrorText(75, QStringLiteral("Path/File access error: ") + why);
    }

    static QString buttonName(Button b);
    static QString iconName(Icon i);
};
