// The epoll server under load, bounded: the server runs in a child process; the parent runs
// every client on one thread with an epoll loop of its own, each client an orvelpdu::Endpoint
// over a non-blocking socket on 127.0.0.1:
//   good clients     send a fixed count of SubmitTexts, a few in flight at a time, every
//                    fourth asking for a report; answer each report; check each answer's
//                    message id; then close their side and wait for the server's
//   one that stops reading   sends requests as fast as it can and never reads
//   one that sends garbage   bytes whose first "command length" is absurd
//   one that disconnects mid-PDU   sends half a SubmitText and closes
//   one that leaves requests unanswered   asks for reports and never answers them, so that
//                    the server's requests to it expire
// The run passes when every good request got its answer, every report to a good client was
// answered, each bad peer was cut off alone for its own reason, the server's held bytes stayed
// under a bound, and all of it before the deadline.
#ifndef EPOLLSERVER_LOADTEST_H_
#define EPOLLSERVER_LOADTEST_H_

namespace epollserver {

struct LoadOptions {
  int clients = 100;     // good ones; the four bad ones come on top
  int requests = 100;    // per good client
  double deadline = 60;  // seconds, for the whole run
};

// Runs the test, printing what it saw; 0 when it passed, 1 when not.
int runLoadTest(const LoadOptions& options);

}  // namespace epollserver

#endif  // EPOLLSERVER_LOADTEST_H_
