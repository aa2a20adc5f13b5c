#pragma once
// One data transfer between the parameter table and the board: an upload
// reads every entry's board address into the table, a download writes every
// entry's value to the board, in index order. Entries with an empty address
// are passed over but still counted.
//
// The transfer makes one board access per step. start() runs the steps on
// the event loop, so a window repaints, Cancel is serviced and the background
// tick runs between two entries; a caller without an event loop (orvelctl)
// calls step() until it returns false.
//
// An upload keeps only confirmed reads (RSComm::RSReadConfirmed).
//
// It stops before the next entry when cancelled, when the link has failed
// (CommError), or when an entry failed on the line (a line fault the link
// gave up on, a read that could not be confirmed): on a board that answers
// late every further entry would wait out its own time-outs. That entry keeps
// its old value and the transfer ends incomplete. An entry whose address or
// value the link refused before sending keeps its old value too; the
// transfer goes on with the next entry and ends incomplete.
#include "SetupData.h"
#include <QObject>
#include <QString>
#include <QTimer>

class RSComm;

class DataTransfer : public QObject {
    Q_OBJECT
public:
    enum class Mode { Upload = 0, Download = 10 };
    enum class State {
        Ready,       // made, not started
        Running,     // entries left to transfer
        Done,        // every entry transferred
        Cancelled,   // stopped by cancel(); the entries before stay transferred
        Failed,      // the link failed, or an entry did not complete
    };

    // The table is read (download) or written (upload) in place; it must
    // outlive the transfer.
    DataTransfer(RSComm &link, SetupData &table, Mode mode, QObject *parent = nullptr);

    // Runs the steps from the event loop.
    void start();
    // Stops before the next entry.
    void cancel();
    // Transfers the next entry; false when the transfer is over (the last
    // entry made, cancelled, an entry failed on the line, or the link failed).
    bool step();

    Mode mode() const { return mode_; }
    State state() const { return state_; }
    bool running() const { return state_ == State::Running || state_ == State::Ready; }
    int done() const { return next_; }
    int total() const { return int(table_.Address.size()); }
    // Entries whose read or write did not complete.
    const QList<int> &incomplete() const { return incomplete_; }

    // The text of the box shown when a transfer ends with a failure.
    static QString errorText();
    // The value text a download writes: a blank before zero and positive
    // values (the link drops it), a minus before negative ones.
    static QString valueText(qint32 value);
    // A value read from the board as a table entry: the number rounded to a
    // whole number, halves to the even neighbour, kept within 32 bits.
    static qint32 tableValue(const QString &text);

signals:
    void progress(int done, int total);
    // One entry was tried: ok false when its read or write did not complete.
    void entryDone(int index, bool ok);
    // The transfer is over; message is the box text for a failure, else empty.
    void finished(bool ok, const QString &message);

private:
    void finish(State s);

    RSComm &link_;
    SetupData &table_;
    Mode mode_;
    State state_ = State::Ready;
    int next_ = 0;
    bool cancelRequested_ = false;
    QList<int> incomplete_;
    QTimer timer_;
};
