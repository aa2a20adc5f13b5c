#pragma once
// The entry fields of the set-up windows: each a text box with an up-down
// control beside it. Typing is free; the entry is checked against the
// up-down's bounds when the field is left (Tab, Enter, a click elsewhere, an
// access key). The rules a technician relies on:
// - clicking or tabbing into a field begins editing: the old value is kept
//   and the whole text selected, and the poll leaves the field alone;
// - Enter moves on as Tab does;
// - the first Esc puts the old value back, the second leaves the field;
// - a rejected entry shows "Only a Number Between <lower> and <upper> can be
//   Entered", puts the old value back and keeps the focus in the field;
// - an up-down step is accepted at once; at its bound an arrow makes no step.
// The window decides what an accepted value means (store it, write it).
#include <QList>
#include <QObject>
#include <QString>
#include <optional>

class Dialogs;
class PollLoop;
class QLineEdit;
class QWidget;
class UpDown;

class EntryFields : public QObject {
    Q_OBJECT
public:
    // focusSink: the window's small "-" button that takes the focus away
    // from a field. poll: held while a bounds box is up.
    EntryFields(Dialogs &dialogs, QWidget *focusSink, QObject *parent = nullptr);
    void setPoll(PollLoop *poll) { poll_ = poll; }

    // Adds field index with its text box and up-down; boxTitle is the title of
    // its bounds message.
    void add(int index, QLineEdit *text, UpDown *updown, const QString &boxTitle);

    // FieldEditing: the user is editing the field; the poll must not overwrite it.
    bool editing(int index) const;
    void clearEditing();
    bool escapePending() const { return escapePending_; }
    void clearEscapePending() { escapePending_ = false; }
    // The field's text, unless the user is editing it.
    void show(int index, const QString &text);

    QLineEdit *text(int index) const;
    UpDown *updown(int index) const;

    // The numeric value of an entry: optional blanks around an optional sign,
    // digits and at most one decimal point; nullopt for anything else.
    static std::optional<double> parseNumber(const QString &text);
    // Rounds to a whole number, halves to the even neighbour.
    static qint64 roundHalfEven(double v);
    // The whole-number value of a text (its number rounded; 0 for no number).
    static qint32 wholeValue(const QString &text);

signals:
    // An entry passed its bounds check: value rounded, text as typed.
    void accepted(int index, qint32 value);
    // The up-down control stepped the field; text holds the new value.
    void stepped(int index, qint32 value, const QString &text);

protected:
    bool eventFilter(QObject *obj, QEvent *e) override;

private:
    struct Field {
        int index;
        QLineEdit *text;
        UpDown *updown;
        QString boxTitle;
        bool editing = false;
        qint32 oldValue = 0;
    };
    Field *find(int index);
    const Field *find(int index) const;
    Field *find(const QObject *text);
    void begin(Field &f);
    // Checks the entry; false (box shown, old value back, focus kept) when rejected.
    bool validate(Field &f);
    void onStepped(Field &f);

    Dialogs &dialogs_;
    QWidget *focusSink_;
    PollLoop *poll_ = nullptr;
    QList<Field> fields_;
    bool escapePending_ = false;
    bool inBox_ = false;
};
