#pragma once
// A window's cooperative poll of the board, as a step machine on the event
// loop: each step makes at most one board read, so typing, clicks, menu
// commands and the background tick run between two reads and never inside
// one.
//
// The loop knows nothing of fields or widgets. Its client says what one
// online pass reads, step by step, and how the window looks online and
// offline. Online, passes follow each other without pause; offline there is
// no board traffic, and the offline refresh runs a few times a second (or at
// once, when woken) instead of spinning.
//
// A pass that finds CommError set switches the program offline through
// ApplyOnlineState (the link has shown its one box already).
#include <QObject>
#include <QTimer>

class RSComm;

class PollClient {
public:
    virtual ~PollClient() = default;
    // Sets the window up for online use; may read the board. False when the
    // view could not be set up (it is tried again on the next pass).
    virtual bool InitOnlineView() = 0;
    virtual void InitOfflineView() = 0;
    // Runs at the top of every pass, online and offline; no board traffic.
    virtual void PassTop() {}
    // An online pass begins: the client takes the range of reads it will make.
    virtual void BeginOnlinePass() = 0;
    // Makes the pass's next read (at most one RSRead) and shows its result.
    // False when the pass is over: every read made, a read failed, or the
    // client ended the pass early.
    virtual bool OnlineStep() = 0;
    // Shows the offline values; no board traffic.
    virtual void RefreshOffline() {}
};

class PollLoop : public QObject {
    Q_OBJECT
public:
    // How long an offline view waits between two refreshes.
    static constexpr int kOfflineIntervalMs = 250;
    // How long a step waits while the link is busy elsewhere (a transfer, or a
    // box raised inside another access) or while the window holds the poll.
    static constexpr int kBusyRetryMs = 50;

    PollLoop(RSComm &link, PollClient &client, QObject *parent = nullptr);

    // PollActive: set on activation, cleared before the window goes away.
    // start() sets the view up (online or offline) at once and runs the
    // first step.
    void start();
    void stop();
    bool active() const { return active_; }

    bool onlineViewReady() const { return onlineViewReady_; }
    bool offlineViewReady() const { return offlineViewReady_; }
    // The offline view is set up again on the next pass (a permission changed).
    void invalidateOfflineView() { offlineViewReady_ = false; }
    // The next pass starts now (the online state or the offline data changed).
    void wake();

    // Holds the poll while the window shows a box of its own, so no read runs
    // under it. Counted: nested holds are fine.
    void hold() { ++held_; }
    void release();
    class Hold {
    public:
        explicit Hold(PollLoop &l) : l_(l) { l_.hold(); }
        ~Hold() { l_.release(); }
        Hold(const Hold &) = delete;
        Hold &operator=(const Hold &) = delete;

    private:
        PollLoop &l_;
    };

    // Passes completed since start (online and offline), and online steps
    // made: for tests and benchmarks.
    quint64 passes() const { return passes_; }
    quint64 onlinePasses() const { return onlinePasses_; }
    bool inPass() const { return inPass_; }

    // Runs one step now, as the event loop would: for tests.
    void step();

signals:
    // An online pass ran to its end or was ended by the client.
    void onlinePassFinished();

private:
    void schedule(int ms);

    RSComm &link_;
    PollClient &client_;
    QTimer timer_;
    bool active_ = false;
    bool inPass_ = false;
    bool onlineViewReady_ = false;
    bool offlineViewReady_ = false;
    bool stepping_ = false;
    int held_ = 0;
    quint64 passes_ = 0;
    quint64 onlinePasses_ = 0;
};
