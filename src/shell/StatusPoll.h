#pragma once
// The background tick's board reads, apart from the window that shows them:
// the two alarm flags and, when one is set, the alarm number, turned into the
// system message and the status bar text.
#include <QString>
#include <QStringList>

class RSComm;

struct BoardStatus {
    bool linkDown = false;     // CommError was seen: the program goes offline
    bool incomplete = false;   // a read did not complete (a line fault): nothing is known this tick
    bool faults = false;       // a stopping or warning alarm is set
    qint64 alarmNumber = 0;    // read only when faults is set
    QString statusMessage;     // the system message (StatusMessage)
    QString panelText;         // status bar panel 1
};

class StatusPoll {
public:
    // alarmTexts: the alarm texts by alarm number 0..14.
    StatusPoll(RSComm &link, const QStringList &alarmTexts) : link_(link), alarmTexts_(alarmTexts) {}

    // One tick's reads; the link must be online. On a dead link only
    // linkDown is meaningful.
    BoardStatus pollOnline();
    // What the program shows while offline.
    static BoardStatus offline(bool commError);
    // Online with nothing read yet: no system message.
    static BoardStatus unknown();

private:
    RSComm &link_;
    const QStringList &alarmTexts_;
};
