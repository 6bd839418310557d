#pragma once

// The whole life of the dummy client process: logging, the application, its
// event loop. Returns 0 whenever the event loop returns, whatever it returned.
int runDummyClient(int argc, char** argv);
