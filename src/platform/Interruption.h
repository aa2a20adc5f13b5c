#pragma once
// A request to end the program now (SIGINT, SIGTERM). Once it is made, the
// serial port gives up every wait and closes, the link answers every exchange
// as a dead line, and no further box is shown, so whatever is running
// unwinds at once.
namespace Interruption {
// Safe to call from a signal handler.
void request();
bool requested();
// For tests that make a request and go on.
void clear();

// From now on SIGINT and SIGTERM make the request; a second one ends the
// process at once, as the signal does by default. With wakeFd not -1 the
// handler also writes the signal's number there as one byte, for an event
// loop to wake up on. A signal the process was started with ignored (a
// background job of a script) stays ignored.
void takeTerminationSignals(int wakeFd = -1);
// Puts back what the two signals did before takeTerminationSignals().
void restoreTerminationSignals();
}
