#pragma once

// The link's time-outs. The defaults are the module protocol's; tests shorten
// them so that only the tests about a time-out wait real time.
struct LinkTimings {
    int replyTimeoutMs = 1500;    // a command's reply
    int interByteTimeoutMs = 200; // silence inside a reply frame
    int resetBaudDelayMs = 300;   // back to 115200 baud after the restart-into-bootloader frame
    int pageTimeoutMs = 2000;     // one encrypted page of a capture
};
