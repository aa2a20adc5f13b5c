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
}
