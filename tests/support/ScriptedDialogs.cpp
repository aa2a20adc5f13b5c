#include "ScriptedDialogs.h"
#include <gtest/gtest.h>

ScriptedDialogs &ScriptedDialogs::expectBox(const QString &title, Button answer, std::optional<QString> text)
{
    queue_.push_back({Kind::Box, title, std::move(text), answer, std::nullopt});
    return *this;
}

ScriptedDialogs &ScriptedDialogs::expectOpen(std::optional<QString> path)
{
    queue_.push_back({Kind::Open, {}, std::nullopt, Button::OK, std::move(path)});
    return *this;
}

ScriptedDialogs &ScriptedDialogs::expectSave(std::optional<QString> path)
{
    queue_.push_back({Kind::Save, {}, std::nullopt, Button::OK, std::move(path)});
    return *this;
}

ScriptedDialogs &ScriptedDialogs::expectInput(std::optional<QString> text)
{
    queue_.push_back({Kind::Input, {}, std::nullopt, Button::OK, std::move(text)});
    return *this;
}

ScriptedDialogs &ScriptedDialogs::expectPrintSetup(std::function<bool(void *)> answer)
{
    queue_.push_back({Kind::PrintSetup, {}, std::nullopt, Button::OK, std::nullopt, std::move(answer)});
    return *this;
}

const ScriptedDialogs::Expect *ScriptedDialogs::take(Kind kind, const QString &what)
{
    if (queue_.empty() || queue_.front().kind != kind) {
        if (!lenient_)
            ADD_FAILURE() << "unexpected dialog: " << what.toStdString();
        return nullptr;
    }
    last_ = queue_.front();
    queue_.pop_front();
    return &last_;
}

static Dialogs::Button firstButton(Dialogs::Buttons b)
{
    switch (b) {
    case Dialogs::Buttons::OK:
    case Dialogs::Buttons::OKCancel: return Dialogs::Button::OK;
    case Dialogs::Buttons::AbortRetryIgnore: return Dialogs::Button::Abort;
    case Dialogs::Buttons::YesNoCancel:
    case Dialogs::Buttons::YesNo: return Dialogs::Button::Yes;
    case Dialogs::Buttons::RetryCancel: return Dialogs::Button::Cancel;
    }
    return Dialogs::Button::OK;
}

Dialogs::Button ScriptedDialogs::messageBox(Icon icon, Buttons buttons, const QString &title, const QString &text)
{
    boxes_.push_back({icon, buttons, title, text});
    if (onBox)
        onBox(boxes_.back());
    const Expect *e = take(Kind::Box, QStringLiteral("box \"%1\": %2").arg(title, text));
    if (!e)
        return firstButton(buttons);
    EXPECT_EQ(e->title.toStdString(), title.toStdString()) << "box text: " << text.toStdString();
    if (e->text) {
        EXPECT_EQ(e->text->toStdString(), text.toStdString());
    }
    return e->answer;
}

std::optional<QString> ScriptedDialogs::openFile(const FileRequest &req)
{
    fileRequests.push_back(req);
    const Expect *e = take(Kind::Open, QStringLiteral("open dialog \"%1\"").arg(req.title));
    return e ? e->value : std::nullopt;
}

std::optional<QString> ScriptedDialogs::saveFile(const FileRequest &req)
{
    fileRequests.push_back(req);
    const Expect *e = take(Kind::Save, QStringLiteral("save dialog \"%1\"").arg(req.title));
    return e ? e->value : std::nullopt;
}

std::optional<QString> ScriptedDialogs::inputBox(const QString &prompt, const QString &title, const QString &)
{
    const Expect *e = take(Kind::Input, QStringLiteral("input box \"%1\": %2").arg(title, prompt));
    return e ? e->value : std::nullopt;
}

bool ScriptedDialogs::printSetup(void *printer)
{
    const Expect *e = take(Kind::PrintSetup, QStringLiteral("print set-up dialog"));
    return e && e->printAnswer && e->printAnswer(printer);
}
