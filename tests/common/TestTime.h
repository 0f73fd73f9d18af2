#pragma once

// One time scale for every clock a test sets (time-outs, reply waits, heartbeats, the simulated
// cards' delays), so that a build that runs several times slower, as ThreadSanitizer's does,
// keeps each clock in the same proportion to the others and to the work between them. Read once
// from KELO_TEST_TIME_SCALE, a number of at least 1; 1 when unset (the usual suite).

class ProtocolManager;
class UpDownLoadAssist;

namespace TestTime {

double scale();

// A clock of `milliseconds` in the usual build, at the scale.
int ms(int milliseconds);

// The link's clocks as the product starts them, at the scale: its reply waits (a transfer
// channel's start wait follows them) and its heartbeat interval.
void scaleLinkClocks(ProtocolManager& pm);

// Those, and the transfer clocks as the product starts them: every channel's time-out made
// afterwards and the transfer heartbeat's interval and time-out.
void scaleTransferClocks(ProtocolManager& pm, UpDownLoadAssist& assist);

} // namespace TestTime
